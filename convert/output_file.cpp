#include "convert/output_file.h"

#include "notices/catalogue.h"
#include "notices/notices.h"

namespace ferrolt {

bool CreateOutputFile(const std::string& path, File* file, int taken_notice) {
  IoStatus status = CreateNewFile(path, file);
  if (status.kind == IoKind::kAlreadyExists) {
    ShowMessagePath(taken_notice, kCaptionProgramError, path);
  } else if (!status.ok()) {
    ShowErrorCode(kCreateOutputFailed, kCaptionProgramError, status.code);
  }
  return status.ok();
}

bool CreateOutputFolder(const std::string& parent, const std::string& path) {
  IoStatus status = CreateFolderFromTemplate(parent, path);
  if (status.kind == IoKind::kAlreadyExists) {
    ShowMessagePath(kOutputNameTaken, kCaptionProgramError, path);
  } else if (!status.ok()) {
    ShowErrorCode(kCreateFolderFailed, kCaptionProgramError, status.code);
  }
  return status.ok();
}

}  // namespace ferrolt
