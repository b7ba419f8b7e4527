#include "base/FileLocation.h"

#include <system_error>

#include "base/OsFiles.h"
#include "base/SafeFile.h"
#include "base/Seams.h"

namespace tavrin::base {

std::filesystem::path FilesDirectory(Platform& platform, std::string* problem) {
    std::string why;
    const auto prog = platform.programDir();
    if (!prog.empty() && IsOwnFolder(prog) && !IsSystemFolder(prog) && CanCreateFilesIn(prog)) {
        if (problem) problem->clear();
        return prog;
    }
    const auto user = platform.userDataDir();
    if (user.empty()) {
        why = "There is no folder for the program's files: this user has no home folder. Log "
              "files and the register listing cannot be saved.";
    } else {
        std::error_code ec;
        std::filesystem::create_directories(user, ec);
        why = DirectoryProblem(user);
        // A folder someone else made first (under /tmp, say) could have its files replaced.
        if (why.empty() && (!IsOwnFolder(user) || !IsOwnFolder(user.parent_path())))
            why = "The files directory \"" + user.string() +
                  "\" belongs to another user. Log files and the register listing are not "
                  "saved there.";
    }
    if (problem) *problem = why;
    return user;
}

} // namespace tavrin::base
