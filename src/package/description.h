// The update description file (TUP): key=value lines naming the firmware files
// with their announced versions and the configuration data files. Loading it
// fills ctx.desc and the two version labels of the main window.
#pragma once

#include <string>

#include "package/numbers.h"
#include "core/context.h"

namespace skyrelay {

// Loads the description at path: clears ctx.desc, reads every key line, checks
// the "ZENTRALE=" file and then the "FUNK=" file against their announced
// versions, and on success stores the full firmware paths and sets the version
// labels. A firmware file that fails its check, or a version that differs
// ("Falsche Version!"), ends the load with the bare names kept and the labels
// unchanged. A file that cannot be read ends it with a message naming the file.
void ParseUpdateDescription(Context& ctx, const std::string& path);

// The path of a file the description names: UpdateFolder followed by the name,
// with every '\' turned into '/', so that names written on Windows (fw\h.tup)
// open here. When that path does not exist, each part of the name is matched
// ignoring letter case, folder by folder (FW\H.TUP finds fw/h.tup); the exact
// name wins when it exists. Every described file is opened through this.
std::string DescribedFilePath(const Context& ctx, const std::string& name);

// The folder part of a path: up to and including its last '/' or '\'; empty
// when it has neither.
std::string FolderOfPath(const std::string& path);

// Reads a whole file as bytes. False when it cannot be opened or read.
bool ReadFileBytes(const std::string& path, std::string& bytes);

}  // namespace skyrelay
