#include "convert/output_file.h"

#include "notices/catalogue.h"
#include "notices/notices.h"

namespace ferrolt {

bool ShowCreationFailure(const IoStatus& status, const std::string& path, int taken_notice,
                         int failed_notice) {
  if (status.kind == IoKind::kAlreadyExists) {
    ShowMessagePath(taken_notice, kCaptionProgramError, path);
  } else if (!status.ok()) {
    ShowErrorCode(failed_notice, kCaptionProgramError, status.code);
  }
  return status.ok();
}

bool CreateOutputFile(const std::string& path, File* file, int taken_notice) {
  return ShowCreationFailure(CreateNewFile(path, file), path, taken_notice, kCreateOutputFailed);
}

bool CreateOutputFolder(const std::string& parent, const std::string& path) {
  return ShowCreationFailure(CreateFolderFromTemplate(parent, path), path, kOutputNameTaken,
                             kCreateFolderFailed);
}

}  // namespace ferrolt
