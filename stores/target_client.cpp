#include "stores/target_client.h"

#include <cstdint>

#include "notices/catalogue.h"
#include "notices/notices.h"
#include "platform/files.h"
#include "platform/system_settings.h"

namespace ferrolt {
namespace {

constexpr char kSettingsKey[] = "Software\\Dovrix\\Orvelle\\Settings";
constexpr char kUsersKey[] = "Software\\Dovrix\\Orvelle\\Users";
constexpr char kTargetWindowClass[] = "CorvaneMainFrameClass";
constexpr char kTargetFolderName[] = "From MS-IM";

// The client writes its numbers as signed decimals; a stored 0xFFFFFFFF is user -1.
std::string Decimal(uint32_t number) { return std::to_string(static_cast<int32_t>(number)); }

uint32_t DefaultUser() {
  uint32_t user = 0;
  if (!ReadRegistryDword(kSettingsKey, "DefUser", &user)) user = 0;
  return user;
}

std::string UserKey(uint32_t user) { return std::string(kUsersKey) + "\\" + Decimal(user); }

bool HasNonEmptyString(const std::string& key, const char* name) {
  std::string text;
  return ReadRegistryString(key, name, &text) && !text.empty();
}

// The marker beside a new folder is what makes the client list it; without it the folder still
// works as a place for mailboxes, so a failure here is not worth stopping for.
void CreateFolderMarker(const std::string& path) {
  std::string folder = path;
  if (EndsInPathSeparator(folder)) folder.pop_back();
  File file;
  if (CreateNewFile(folder + ".mbx", &file).ok()) CloseFile(&file);
}

}  // namespace

bool TargetClientInstalled() { return RegistryKeyExists(kSettingsKey); }

bool CheckTargetClient(std::string* home_dir) {
  if (!TargetClientInstalled()) {
    ShowMessage(kTargetClientNotInstalled, kCaptionRegistryError);
    return false;
  }
  // The client rewrites its mailboxes while it runs; writing beside it could lose mail.
  if (TopLevelWindowExists(kTargetWindowClass, nullptr)) {
    ShowMessage(kTargetClientRunning, kCaptionProgramError);
    return false;
  }
  if (!ReadRegistryString(kSettingsKey, "HomeDir", home_dir) || home_dir->empty()) {
    ShowMessage(kTargetStoreUnknown, kCaptionRegistryError);
    return false;
  }
  return ValidateTargetUser();
}

bool ValidateTargetUser() {
  if (!RegistryKeyExists(kSettingsKey)) {
    ShowMessage(kTargetClientNotInstalled, kCaptionRegistryError);
    return false;
  }
  std::string user_key = UserKey(DefaultUser());
  if (!HasNonEmptyString(user_key, "POP") || !HasNonEmptyString(user_key, "Address")) {
    ShowMessage(kTargetUserInvalid, kCaptionSettingsError);
    return false;
  }
  return true;
}

std::string AppendTargetFolder(const std::string& home_dir) {
  uint32_t user = DefaultUser();
  uint32_t mail_dir = user;
  if (!ReadRegistryDword(UserKey(user), "MailDirNo", &mail_dir)) mail_dir = user;
  // "HomeDir" is a prefix exactly as stored: the client itself writes it with its separator.
  return home_dir + "User" + Decimal(mail_dir) + kPathSeparator + kTargetFolderName +
         kPathSeparator;
}

bool CreateTargetFolder(const std::string& template_folder, const std::string& path) {
  IoStatus status = CreateFolderFromTemplate(template_folder, path);
  if (status.ok()) {
    CreateFolderMarker(path);
    return true;
  }
  if (status.kind == IoKind::kAlreadyExists) return true;
  ShowErrorCode(kCreateFolderFailed, kCaptionProgramError, status.code);
  return false;
}

bool PrepareTargetFolder(const std::string& home_dir, std::string* target_dir) {
  *target_dir = AppendTargetFolder(home_dir);
  return CreateTargetFolder(home_dir, *target_dir);
}

}  // namespace ferrolt
