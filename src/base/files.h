// SPDX-License-Identifier: MIT
// The one seam between the program and the file system: opening, reading, listing and looking
// at files by path or relative to an open folder, creating and placing files, the folder lock
// and syncing. Every part above the floor goes through here and never calls the system itself.
//
// One result shape everywhere: what was asked for (the bytes, a status, an open file); or a
// problem the caller may record as data (a std::error_code, a ReadProblem); or, for the caller
// that stops, a FileError thrown from it (FileRead::take, throwIfFailed). The system's problems
// are std::error_code values of std::system_category(), compared with std::errc conditions
// (std::errc::file_exists, std::errc::no_such_file_or_directory ...), worded by systemReason.
//
// The functions are implemented once per system, in files of their own (posix/files_posix.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "folder_order.h"

namespace trevanto::base {

// The longest name of one file or folder, in bytes, that the file systems take.
inline constexpr std::size_t kMaxNameBytes = 255;

enum class FileKind { Regular, Folder, Other };

// Which file a name leads to: equal for two names of one file (hard links, a folder reached
// twice through links), different for any two files, on one volume or on two. Asked for apart
// from the status, and only where it matters: Windows looks up a volume's serial number at a
// cost many times that of a status.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t file = 0;
  friend auto operator<=>(const FileIdentity&, const FileIdentity&) = default;
};

struct FileStatus {
  FileKind kind = FileKind::Other;
  std::uint64_t size = 0;
  std::uint64_t links = 1;  // names the file has; 0 once it was removed while open
  // The file's number on its volume (FileIdentity::file): no other file of the volume has it
  // while this one is there.
  std::uint64_t fileNumber = 0;
  std::int64_t modifiedNs = 0;  // last change of the content, ns since 1970
  std::int64_t changedNs = 0;   // last change of the content or of the file's own data, ns since 1970
};

// Whether a final link in a path is followed (the status of what it leads to) or not (of the
// link itself).
enum class Links { Followed, NotFollowed };

// The file of the running program.
std::filesystem::path runningProgramFile(std::error_code& error);

// The status of what path names. On failure, nothing and error says why.
std::optional<FileStatus> fileStatus(const std::filesystem::path& path, std::error_code& error,
                                     Links links = Links::Followed);
// Which file path names (links followed). On failure, nothing and error says why.
std::optional<FileIdentity> fileIdentity(const std::filesystem::path& path, std::error_code& error);
// True when path names a regular file, or a folder (links followed); false also when it cannot be looked at.
bool isRegularFile(const std::filesystem::path& path);
bool isFolder(const std::filesystem::path& path);

// The last system problem on this thread, as a std::error_code.
std::error_code lastSystemError();
// The reason for a problem as the system words it in the user's language.
std::string systemReason(const std::error_code& error);
// Throws FileError(operation, path, systemReason(error)) when error holds a problem.
void throwIfFailed(const std::error_code& error, std::string_view operation, const std::filesystem::path& path);

// ---- Reading a file whole, up to a limit --------------------------------------------------

enum class ReadProblem { None, Unreadable, NotRegularFile, TooLarge };

// Which files a whole read takes: regular files only (anything else is NotRegularFile without
// a byte read, so a pipe or a device never blocks), or whatever opens and reads.
enum class FileKinds { RegularOnly, Any };

struct FileRead {
  std::string bytes;
  ReadProblem problem = ReadProblem::None;
  std::error_code error;  // why, for Unreadable

  explicit operator bool() const { return problem == ReadProblem::None; }
  // The reason in the user's words: the system's for Unreadable, "не обычный файл",
  // "файл слишком велик".
  std::string reason() const;
  // The bytes; otherwise throws FileError(operation, shownAs, reason()).
  std::string take(std::string_view operation, const std::filesystem::path& shownAs) &&;
};

// Reads the file whole when it holds at most limitBytes (a file that grows meanwhile is read up
// to the limit only, and is TooLarge). A regular file larger than the limit is refused by its
// size before a byte is read.
FileRead readFile(const std::filesystem::path& path, std::size_t limitBytes, FileKinds kinds = FileKinds::RegularOnly);

// ---- Open files --------------------------------------------------------------------------

struct ReadChunk {
  std::string bytes;     // what was read, even when a read then failed
  std::error_code error;  // the read that failed, if one did
};

// One open file, closed when it goes.
class OpenFile {
 public:
  OpenFile() noexcept = default;
  OpenFile(OpenFile&& other) noexcept;
  OpenFile& operator=(OpenFile&& other) noexcept;
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  ~OpenFile();

  // Opens to read from the start; never blocks on a pipe or a device, never becomes the
  // program's terminal.
  static OpenFile toRead(const std::filesystem::path& path, std::error_code& error);
  // Opens to append, creating the file empty (with the mode the umask gives) when absent,
  // never truncating it.
  static OpenFile toAppend(const std::filesystem::path& path, std::error_code& error);
  // Creates a new file to write; error is std::errc::file_exists when the name is taken (a link
  // there, even a dangling one, included).
  static OpenFile createNew(const std::filesystem::path& path, std::error_code& error);

  explicit operator bool() const noexcept { return handle_ != kNone; }

  // Reads on from where the last read ended, until the end or until limit bytes are read;
  // interrupted reads are retried. Fewer than limit bytes without an error: the end was reached.
  ReadChunk read(std::size_t limit);
  // Writes all bytes, retrying interrupted and short writes.
  std::error_code write(std::string_view bytes);
  std::error_code sync();
  // Cuts the file to size bytes.
  std::error_code truncate(std::uint64_t size);
  std::optional<FileStatus> status(std::error_code& error) const;
  // Sets the time of the last change of the content (seconds since 1970), the access time left.
  std::error_code setModifiedTime(std::int64_t secondsSinceEpoch);
  // Closes now; a delayed write error shows here.
  std::error_code close();

 private:
  friend class OpenFolder;
  static constexpr std::intptr_t kNone = -1;
  explicit OpenFile(std::intptr_t handle) noexcept : handle_(handle) {}
  std::intptr_t handle_ = kNone;
};

// ---- Open folders ------------------------------------------------------------------------

// One open folder: names are looked up in it, not along a path, so a walk holding it reaches
// any depth, and a folder renamed meanwhile is still the one opened.
class OpenFolder {
 public:
  OpenFolder() noexcept = default;
  OpenFolder(OpenFolder&& other) noexcept;
  OpenFolder& operator=(OpenFolder&& other) noexcept;
  OpenFolder(const OpenFolder&) = delete;
  OpenFolder& operator=(const OpenFolder&) = delete;
  ~OpenFolder();

  static OpenFolder open(const std::filesystem::path& path, std::error_code& error);
  explicit operator bool() const noexcept { return handle_ != kNone; }

  // A folder inside this one, by its name (a link to a folder is followed).
  OpenFolder openFolder(std::string_view name, std::error_code& error) const;
  // The folder this one is in ("..").
  OpenFolder parent(std::error_code& error) const;
  // The same folder once more, open on its own.
  OpenFolder again(std::error_code& error) const;

  std::optional<FileStatus> status(std::error_code& error) const;
  std::optional<FileIdentity> identity(std::error_code& error) const;
  std::optional<FileStatus> statusOf(std::string_view name, std::error_code& error,
                                     Links links = Links::Followed) const;
  // Every entry but "." and "..", dot entries included, in the one name order; a link counts as
  // a folder when it leads to one.
  std::vector<FolderEntry> entries(std::error_code& error) const;
  FileRead readFile(std::string_view name, std::size_t limitBytes, FileKinds kinds = FileKinds::RegularOnly) const;

  // Makes a folder inside this one; std::errc::file_exists when the name is taken.
  std::error_code makeFolder(std::string_view name) const;
  // Creates a new file inside this one to write, never following a link; std::errc::file_exists
  // when the name is taken.
  OpenFile createNew(std::string_view name, std::error_code& error) const;
  // Gives the file temporary the name name unless something stands there already:
  // std::errc::file_exists then, temporary left as it was.
  std::error_code placeWithoutReplacing(std::string_view temporary, std::string_view name) const;
  std::error_code removeFile(std::string_view name) const;

  // Takes the advisory lock on the folder itself, without waiting; held while this stays open.
  // std::errc::resource_unavailable_try_again when someone else holds it.
  std::error_code tryLock() const;

 private:
  static constexpr std::intptr_t kNone = -1;
  explicit OpenFolder(std::intptr_t handle) noexcept : handle_(handle) {}
  std::intptr_t handle_ = kNone;
};

// ---- By path -----------------------------------------------------------------------------

// Makes one folder (its parent must exist); std::errc::file_exists when the name is taken.
std::error_code makeFolder(const std::filesystem::path& path);
std::error_code removeFile(const std::filesystem::path& path);
// Renames from over to, replacing what stands there.
std::error_code renameReplacing(const std::filesystem::path& from, const std::filesystem::path& to);
// Gives the file existing a second name; std::errc::file_exists when the name is taken.
std::error_code linkFile(const std::filesystem::path& existing, const std::filesystem::path& newName);
// Whether this process may read (or write into) the file or folder.
std::error_code canRead(const std::filesystem::path& path);
std::error_code canWriteInto(const std::filesystem::path& folder);

// ---- Syncing -----------------------------------------------------------------------------

// Puts a folder's entries (names created, renamed or removed in it) on the disk. Throws
// FileError naming it.
void syncFolder(const std::filesystem::path& folder);

// Puts the files on the disk, then the folders' entries: the files' syncs run side by side, so
// the file system commits them in one go rather than a commit and a flush for each. A file
// removed meanwhile has nothing left to sync. Throws FileError naming the first file or folder
// that could not be synced.
void syncTogether(const std::vector<std::string>& files, const std::vector<std::string>& folders);

}  // namespace trevanto::base
