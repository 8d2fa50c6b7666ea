#pragma once
// A rename that never replaces an entry, also where the file system cannot
// refuse a replacement itself (the NFS client, FUSE file systems such as
// sshfs).

#include <string>

namespace brek_platform {

// Moves from to to on one file system; false (errno EEXIST) when to exists,
// and then both stay as they were. Where rename flags are not supported, a
// file or link takes a hard link and an unlink; a folder, or a file where
// links are refused, a plain rename once to is seen missing: sound only
// where nothing else creates to meanwhile (a name the caller reserved).
bool rename_noreplace(const std::string& from, const std::string& to);

}  // namespace brek_platform
