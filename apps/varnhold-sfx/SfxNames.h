#pragma once
// Entry names of the appended package: which ones may be extracted, their folder steps, and how they are printed.

#include <string>
#include <string_view>
#include <vector>

namespace sfx {

/// Why an entry of this name may not be extracted (absolute, climbing out, a work file of the program, ...); empty
/// when it may. Folder entries end in "/".
std::string unsafeNameReason(std::string_view name);

/// The steps of a safe name: its folders, then the file; "." and empty steps left out.
std::vector<std::string> nameSteps(std::string_view name);

/// A name on one line: control characters, text-direction controls and bytes that are not UTF-8 as escapes
/// ("\t", "\x1b", "\u202e", "\xE9"), a backslash doubled.
std::string printable(std::string_view name);

/// The folder a program named file extracts to by default: its name without the extension.
std::string defaultFolderFor(std::string_view programFile);

} // namespace sfx
