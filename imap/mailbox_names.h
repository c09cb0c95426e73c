#ifndef FERROLT_IMAP_MAILBOX_NAMES_H_
#define FERROLT_IMAP_MAILBOX_NAMES_H_

// Folder names on the server: IMAP's modified UTF-7 (RFC 3501, 5.1.3) and quoted strings.

#include <string>
#include <string_view>

namespace ferrolt {

// UTF-8 as modified UTF-7: printable ASCII stays ("&" becomes "&-"), everything else goes as
// base64 of UTF-16 between "&" and "-". A byte sequence that is not UTF-8 becomes U+FFFD.
std::string EncodeModifiedUtf7(std::string_view utf8);

// The name a source mailbox file gives its folder, as UTF-8: "NAME.mbx" without its extension;
// names that are UTF-8 already (a disk mounted with a UTF-8 character set) are taken as they
// are, others are read as code page 932, as the source client wrote them.
std::string MailboxFolderName(const std::string& file_name);

// `text` as an IMAP quoted string; it must hold no CR, LF or NUL (modified UTF-7 never does).
std::string QuoteImapString(std::string_view text);

// The folder for the source mailbox `name` under `base` (both UTF-8), as sent to the server. A
// separator inside `name` becomes '_', so a mailbox never turns into a hierarchy; `separator` 0
// (a server without hierarchy) joins them with '/'.
std::string SubfolderName(const std::string& base, char separator, const std::string& name);

}  // namespace ferrolt

#endif  // FERROLT_IMAP_MAILBOX_NAMES_H_
