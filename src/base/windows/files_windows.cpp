// SPDX-License-Identifier: MIT
// The floor's file operations on Windows: handles opened with every sharing mode (so that a
// file another program has open can still be renamed or removed, as on Linux), names relative
// to an open folder's handle through the native open, UTF-16 names at the system.
#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

#include "base/file_error.h"
#include "base/files.h"
#include "base/system.h"
#include "windows_text.h"

namespace trevanto::base {
namespace {

using windows::lastError;
using windows::statusError;
using windows::systemError;
using windows::systemPath;
using windows::utf8Of;
using windows::wideOf;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kFolderAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | FILE_TRAVERSE | SYNCHRONIZE;
constexpr std::size_t kReadStep = 1 << 16;

HANDLE handleOf(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
std::intptr_t valueOf(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }

// Closes a handle when it goes.
class Handle {
 public:
  explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (*this) ::CloseHandle(handle_);
  }
  explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE get() const { return handle_; }
  HANDLE release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }

 private:
  HANDLE handle_;
};

std::int64_t nsSince1970(LARGE_INTEGER time) {
  // 100 ns steps since 1601.
  constexpr std::int64_t kFrom1601To1970 = 116444736000000000LL;
  return (time.QuadPart - kFrom1601To1970) * 100;
}

// The status of an open handle; what it is, by its attributes and the kind of its handle. Only
// calls that the file system answers from the file itself: no volume is asked for its serial
// number (on wine each such question is a round trip to another process).
std::optional<FileStatus> statusOfHandle(HANDLE handle, std::error_code& error) {
  if (::GetFileType(handle) != FILE_TYPE_DISK) {
    error.clear();
    return FileStatus{};  // a pipe, a console, a device: neither a file nor a folder
  }
  FILE_BASIC_INFO basic{};
  FILE_STANDARD_INFO standard{};
  if (!::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) ||
      !::GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard)) {
    error = lastError();
    return std::nullopt;
  }
  FILE_INTERNAL_INFORMATION internal{};
  IO_STATUS_BLOCK io{};
  if (const NTSTATUS status = ::NtQueryInformationFile(handle, &io, &internal, sizeof internal, FileInternalInformation);
      status < 0) {
    error = statusError(status);
    return std::nullopt;
  }
  error.clear();
  FileStatus status;
  if ((basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    status.kind = FileKind::Folder;
  } else if ((basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    // Reached only when the link itself was opened: it is no regular file.
    status.kind = FileKind::Other;
  } else {
    status.kind = FileKind::Regular;
  }
  status.size = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
  // A file removed while open keeps its name on Windows until its last handle closes (unless
  // the file system removes names at once): it is gone all the same.
  status.links = standard.DeletePending ? 0 : standard.NumberOfLinks;
  status.fileNumber = static_cast<std::uint64_t>(internal.IndexNumber.QuadPart);
  status.modifiedNs = nsSince1970(basic.LastWriteTime);
  status.changedNs = nsSince1970(basic.ChangeTime.QuadPart != 0 ? basic.ChangeTime : basic.LastWriteTime);
  return status;
}

// Which file an open handle is: its volume's serial number and its number there.
std::optional<FileIdentity> identityOfHandle(HANDLE handle, std::error_code& error) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle, &info)) {
    error = lastError();
    return std::nullopt;
  }
  error.clear();
  return FileIdentity{info.dwVolumeSerialNumber,
                      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

HANDLE openPath(const std::filesystem::path& path, DWORD access, DWORD disposition, DWORD flags) {
  return ::CreateFileW(systemPath(path).c_str(), access, kShareAll, nullptr, disposition,
                       flags | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// Opens name relative to the folder handle root, as the native open does: the folder may have
// been renamed or moved meanwhile and is still the one opened. "/" separates names as "\" does.
HANDLE openRelative(HANDLE root, std::string_view name, ACCESS_MASK access, ULONG disposition, ULONG options,
                    std::error_code& error) {
  std::wstring wide = wideOf(name);
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  if (wide == L".") wide.clear();  // the folder itself
  if (wide.size() * sizeof(wchar_t) > 0xFFF0) {
    error = systemError(ERROR_FILENAME_EXCED_RANGE);
    return INVALID_HANDLE_VALUE;
  }
  UNICODE_STRING objectName{static_cast<USHORT>(wide.size() * sizeof(wchar_t)),
                            static_cast<USHORT>(wide.size() * sizeof(wchar_t)), wide.data()};
  OBJECT_ATTRIBUTES attributes{};
  InitializeObjectAttributes(&attributes, &objectName, OBJ_CASE_INSENSITIVE, root, nullptr);
  IO_STATUS_BLOCK io{};
  HANDLE handle = INVALID_HANDLE_VALUE;
  const NTSTATUS status =
      ::NtCreateFile(&handle, access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, kShareAll,
                     disposition, options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_FOR_BACKUP_INTENT, nullptr, 0);
  if (status < 0) {
    error = statusError(status);
    return INVALID_HANDLE_VALUE;
  }
  error.clear();
  return handle;
}

// Reads on until the end or until limit bytes.
ReadChunk readHandle(HANDLE handle, std::size_t limit) {
  ReadChunk chunk;
  while (chunk.bytes.size() < limit) {
    const std::size_t want = std::min(kReadStep, limit - chunk.bytes.size());
    const std::size_t had = chunk.bytes.size();
    chunk.bytes.resize(had + want);
    DWORD got = 0;
    if (!::ReadFile(handle, chunk.bytes.data() + had, static_cast<DWORD>(want), &got, nullptr)) {
      const DWORD code = ::GetLastError();
      chunk.bytes.resize(had);
      if (code == ERROR_HANDLE_EOF || code == ERROR_BROKEN_PIPE) break;
      chunk.error = systemError(code);
      break;
    }
    chunk.bytes.resize(had + got);
    if (got == 0) break;
  }
  return chunk;
}

// Reads a whole file from an open handle, as FileRead describes.
FileRead readOpened(HANDLE handle, const std::error_code& openError, std::size_t limitBytes, FileKinds kinds) {
  FileRead result;
  if (openError) {
    result.problem = ReadProblem::Unreadable;
    result.error = openError;
    return result;
  }
  std::error_code error;
  const std::optional<FileStatus> status = statusOfHandle(handle, error);
  if (!status) {
    result.problem = ReadProblem::Unreadable;
    result.error = error;
    return result;
  }
  if (status->kind == FileKind::Folder || (kinds == FileKinds::RegularOnly && status->kind != FileKind::Regular)) {
    result.problem = ReadProblem::NotRegularFile;
    return result;
  }
  if (status->kind == FileKind::Regular && status->size > limitBytes) {
    result.problem = ReadProblem::TooLarge;
    return result;
  }
  ReadChunk read = readHandle(handle, limitBytes + 1);
  if (read.error) {
    result.problem = ReadProblem::Unreadable;
    result.error = read.error;
  } else if (read.bytes.size() > limitBytes) {
    result.problem = ReadProblem::TooLarge;
  } else {
    result.bytes = std::move(read.bytes);
  }
  return result;
}

FolderEntry entryOf(std::wstring_view name, DWORD attributes) {
  return {utf8Of(name), (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0};
}

bool isDotName(std::wstring_view name) { return name == L"." || name == L".."; }

void sortEntries(std::vector<FolderEntry>& entries) {
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return nameOrderLess(a.name, b.name); });
}

// A program may hold a file a moment (a virus scanner looking at what was just written, an
// indexer): a rename or a removal refused for that is tried again a few times.
template <typename Call>
bool retryWhileHeld(Call call) {
  DWORD wait = 5;
  for (int attempt = 0;; ++attempt) {
    if (call()) return true;
    const DWORD code = ::GetLastError();
    if ((code != ERROR_SHARING_VIOLATION && code != ERROR_ACCESS_DENIED && code != ERROR_LOCK_VIOLATION) ||
        attempt == 5) {
      ::SetLastError(code);
      return false;
    }
    ::Sleep(wait);
    wait *= 2;
  }
}

// ---- The folder lock ---------------------------------------------------------------------------
// Windows has no advisory lock on a folder: a named semaphore of one count, named after the
// folder's identity, stands for it. Its count comes back when the folder handle that took it is
// closed; a process that ends without closing it closes its handle, and with the last handle the
// semaphore itself goes, so a lock never outlives its holder.

std::mutex gLocksMutex;
std::map<std::intptr_t, HANDLE>& heldLocks() {
  static std::map<std::intptr_t, HANDLE> locks;
  return locks;
}

void releaseLockOf(std::intptr_t folder) {
  const std::lock_guard guard(gLocksMutex);
  const auto held = heldLocks().find(folder);
  if (held == heldLocks().end()) return;
  ::ReleaseSemaphore(held->second, 1, nullptr);
  ::CloseHandle(held->second);
  heldLocks().erase(held);
}

void closeFolderHandle(std::intptr_t handle) {
  if (handle == -1) return;
  releaseLockOf(handle);
  ::CloseHandle(handleOf(handle));
}

}  // namespace

// ---- shared helpers -------------------------------------------------------------------------

std::error_code lastSystemError() { return lastError(); }

std::optional<FileStatus> fileStatus(const std::filesystem::path& path, std::error_code& error, Links links) {
  const Handle handle(openPath(path, FILE_READ_ATTRIBUTES, OPEN_EXISTING,
                               links == Links::NotFollowed ? FILE_FLAG_OPEN_REPARSE_POINT : 0));
  if (!handle) {
    error = lastError();
    return std::nullopt;
  }
  return statusOfHandle(handle.get(), error);
}

std::optional<FileIdentity> fileIdentity(const std::filesystem::path& path, std::error_code& error) {
  const Handle handle(openPath(path, FILE_READ_ATTRIBUTES, OPEN_EXISTING, 0));
  if (!handle) {
    error = lastError();
    return std::nullopt;
  }
  return identityOfHandle(handle.get(), error);
}

std::filesystem::path runningProgramFile(std::error_code& error) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) {
      error = lastError();
      return {};
    }
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  error.clear();
  return std::filesystem::path(path);
}

FileRead readFile(const std::filesystem::path& path, std::size_t limitBytes, FileKinds kinds) {
  const Handle handle(openPath(path, GENERIC_READ, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN));
  return readOpened(handle.get(), handle ? std::error_code() : lastError(), limitBytes, kinds);
}

std::error_code listFolderEntries(const std::filesystem::path& folder, std::vector<FolderEntry>& entries,
                                  ListingFilter keep) {
  std::wstring pattern = systemPath(folder);
  if (!pattern.empty() && pattern.back() != L'\\') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_NOT_FOUND) return {};  // nothing in it, not even "." (a drive's root)
    return systemError(code);
  }
  std::error_code error;
  do {
    if (isDotName(found.cFileName)) continue;
    FolderEntry entry = entryOf(found.cFileName, found.dwFileAttributes);
    if (keep.name != nullptr && !keep.name(entry.name)) continue;
    if (!keep.keeps(entry.name, entry.isFolder)) continue;
    entries.push_back(std::move(entry));
  } while (::FindNextFileW(search, &found));
  if (const DWORD code = ::GetLastError(); code != ERROR_NO_MORE_FILES) error = systemError(code);
  ::FindClose(search);
  if (error) return error;
  sortEntries(entries);
  return {};
}

// ---- OpenFile -------------------------------------------------------------------------------

OpenFile OpenFile::toRead(const std::filesystem::path& path, std::error_code& error) {
  HANDLE handle = openPath(path, GENERIC_READ, OPEN_EXISTING, 0);
  error = handle == INVALID_HANDLE_VALUE ? lastError() : std::error_code();
  return OpenFile(valueOf(handle));
}

OpenFile OpenFile::toAppend(const std::filesystem::path& path, std::error_code& error) {
  HANDLE handle = ::CreateFileW(systemPath(path).c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                kShareAll, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  error = handle == INVALID_HANDLE_VALUE ? lastError() : std::error_code();
  return OpenFile(valueOf(handle));
}

OpenFile OpenFile::createNew(const std::filesystem::path& path, std::error_code& error) {
  HANDLE handle = ::CreateFileW(systemPath(path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, kShareAll, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  error = handle == INVALID_HANDLE_VALUE ? lastError() : std::error_code();
  return OpenFile(valueOf(handle));
}

ReadChunk OpenFile::read(std::size_t limit) { return readHandle(handleOf(handle_), limit); }

std::error_code OpenFile::write(std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD step = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(handleOf(handle_), bytes.data(), step, &written, nullptr)) return lastError();
    if (written == 0) return systemError(ERROR_WRITE_FAULT);
    bytes.remove_prefix(written);
  }
  return {};
}

std::error_code OpenFile::sync() {
  if (::FlushFileBuffers(handleOf(handle_))) return {};
  const DWORD code = ::GetLastError();
  if (code != ERROR_ACCESS_DENIED) return systemError(code);
  // Opened to read only: the flush needs a handle that may write. A file that cannot be opened
  // to write was not written through this program either.
  const Handle writable(::ReOpenFile(handleOf(handle_), GENERIC_WRITE, kShareAll, 0));
  if (!writable) return {};
  return ::FlushFileBuffers(writable.get()) ? std::error_code() : lastError();
}

std::error_code OpenFile::truncate(std::uint64_t size) {
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  return ::SetFileInformationByHandle(handleOf(handle_), FileEndOfFileInfo, &end, sizeof end) ? std::error_code()
                                                                                              : lastError();
}

std::optional<FileStatus> OpenFile::status(std::error_code& error) const {
  return statusOfHandle(handleOf(handle_), error);
}

std::error_code OpenFile::setModifiedTime(std::int64_t secondsSinceEpoch) {
  constexpr std::int64_t kFrom1601To1970 = 116444736000000000LL;
  const std::int64_t steps = secondsSinceEpoch * 10'000'000 + kFrom1601To1970;
  FILETIME time{static_cast<DWORD>(steps & 0xFFFFFFFF), static_cast<DWORD>(static_cast<std::uint64_t>(steps) >> 32)};
  if (::SetFileTime(handleOf(handle_), nullptr, nullptr, &time)) return {};
  if (::GetLastError() != ERROR_ACCESS_DENIED) return lastError();
  const Handle writable(::ReOpenFile(handleOf(handle_), FILE_WRITE_ATTRIBUTES, kShareAll, 0));
  if (!writable) return lastError();
  return ::SetFileTime(writable.get(), nullptr, nullptr, &time) ? std::error_code() : lastError();
}

std::error_code OpenFile::close() {
  if (handle_ == kNone) return {};
  return ::CloseHandle(handleOf(std::exchange(handle_, kNone))) ? std::error_code() : lastError();
}

// ---- OpenFolder ---------------------------------------------------------------------------------

OpenFolder::OpenFolder(OpenFolder&& other) noexcept : handle_(std::exchange(other.handle_, kNone)) {}

OpenFolder& OpenFolder::operator=(OpenFolder&& other) noexcept {
  if (this != &other) {
    closeFolderHandle(handle_);
    handle_ = std::exchange(other.handle_, kNone);
  }
  return *this;
}

OpenFolder::~OpenFolder() { closeFolderHandle(handle_); }

OpenFolder OpenFolder::open(const std::filesystem::path& path, std::error_code& error) {
  Handle handle(openPath(path, kFolderAccess, OPEN_EXISTING, 0));
  if (!handle) {
    error = lastError();
    return OpenFolder();
  }
  // The open takes files too: only a folder is one.
  FILE_BASIC_INFO basic{};
  if (!::GetFileInformationByHandleEx(handle.get(), FileBasicInfo, &basic, sizeof basic)) {
    error = lastError();
    return OpenFolder();
  }
  if ((basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    error = systemError(ERROR_DIRECTORY);
    return OpenFolder();
  }
  error.clear();
  return OpenFolder(valueOf(handle.release()));
}

OpenFolder OpenFolder::openFolder(std::string_view name, std::error_code& error) const {
  if (name == "..") return parent(error);
  HANDLE handle = openRelative(handleOf(handle_), name, kFolderAccess, FILE_OPEN, FILE_DIRECTORY_FILE, error);
  return OpenFolder(valueOf(handle));
}

OpenFolder OpenFolder::parent(std::error_code& error) const {
  // The native open takes no "..": the folder's present path, one name shorter.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetFinalPathNameByHandleW(handleOf(handle_), path.data(), static_cast<DWORD>(path.size()),
                                                     FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) {
      error = lastError();
      return OpenFolder();
    }
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(length + 1);
  }
  const std::filesystem::path folder(path);
  return open(folder.has_relative_path() ? folder.parent_path() : folder, error);
}

OpenFolder OpenFolder::again(std::error_code& error) const { return openFolder(".", error); }

std::optional<FileStatus> OpenFolder::status(std::error_code& error) const {
  return statusOfHandle(handleOf(handle_), error);
}

std::optional<FileIdentity> OpenFolder::identity(std::error_code& error) const {
  return identityOfHandle(handleOf(handle_), error);
}

std::optional<FileStatus> OpenFolder::statusOf(std::string_view name, std::error_code& error, Links links) const {
  const Handle handle(openRelative(handleOf(handle_), name, FILE_READ_ATTRIBUTES, FILE_OPEN,
                                   links == Links::NotFollowed ? FILE_OPEN_REPARSE_POINT : 0, error));
  if (!handle) return std::nullopt;
  return statusOfHandle(handle.get(), error);
}

std::vector<FolderEntry> OpenFolder::entries(std::error_code& error) const {
  std::vector<FolderEntry> entries;
  // A handle of its own, so that its listing position is nobody else's.
  const Handle listing(openRelative(handleOf(handle_), ".", FILE_LIST_DIRECTORY, FILE_OPEN, FILE_DIRECTORY_FILE, error));
  if (!listing) return entries;
  std::vector<std::byte> buffer(1 << 16);
  FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;
  for (;;) {
    if (!::GetFileInformationByHandleEx(listing.get(), kind, buffer.data(), static_cast<DWORD>(buffer.size()))) {
      const DWORD code = ::GetLastError();
      if (code != ERROR_NO_MORE_FILES) error = systemError(code);
      break;
    }
    kind = FileIdBothDirectoryInfo;
    for (std::size_t at = 0;;) {
      const auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer.data() + at);
      const std::wstring_view name(info->FileName, info->FileNameLength / sizeof(wchar_t));
      if (!isDotName(name)) entries.push_back(entryOf(name, info->FileAttributes));
      if (info->NextEntryOffset == 0) break;
      at += info->NextEntryOffset;
    }
  }
  if (error) return {};
  sortEntries(entries);
  return entries;
}

FileRead OpenFolder::readFile(std::string_view name, std::size_t limitBytes, FileKinds kinds) const {
  std::error_code error;
  const Handle handle(openRelative(handleOf(handle_), name, GENERIC_READ, FILE_OPEN, FILE_SEQUENTIAL_ONLY, error));
  return readOpened(handle.get(), error, limitBytes, kinds);
}

std::error_code OpenFolder::makeFolder(std::string_view name) const {
  std::error_code error;
  const Handle made(openRelative(handleOf(handle_), name, FILE_LIST_DIRECTORY, FILE_CREATE, FILE_DIRECTORY_FILE, error));
  return error;
}

OpenFile OpenFolder::createNew(std::string_view name, std::error_code& error) const {
  HANDLE handle = openRelative(handleOf(handle_), name, GENERIC_READ | GENERIC_WRITE | DELETE, FILE_CREATE,
                               FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, error);
  return OpenFile(valueOf(handle));
}

std::error_code OpenFolder::placeWithoutReplacing(std::string_view temporary, std::string_view name) const {
  std::error_code error;
  const Handle file(openRelative(handleOf(handle_), temporary, DELETE, FILE_OPEN, FILE_OPEN_REPARSE_POINT, error));
  if (!file) return error;
  std::wstring target = wideOf(name);
  std::replace(target.begin(), target.end(), L'/', L'\\');
  std::vector<std::byte> buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = FALSE;
  rename->RootDirectory = handleOf(handle_);
  rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
  std::copy(target.begin(), target.end(), rename->FileName);
  // The native call: SetFileInformationByHandle takes the same structure on Windows, but wine's
  // makes the name a whole path first, which beside RootDirectory it then refuses.
  const bool renamed = retryWhileHeld([&] {
    IO_STATUS_BLOCK io{};
    const NTSTATUS status = ::NtSetInformationFile(file.get(), &io, rename, static_cast<ULONG>(buffer.size()),
                                                   static_cast<FILE_INFORMATION_CLASS>(FileRenameInformation));
    if (status < 0) ::SetLastError(::RtlNtStatusToDosError(status));
    return status >= 0;
  });
  return renamed ? std::error_code() : lastError();
}

std::error_code OpenFolder::removeFile(std::string_view name) const {
  std::error_code error;
  const Handle file(
      openRelative(handleOf(handle_), name, DELETE, FILE_OPEN, FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, error));
  if (!file) return error;
  FILE_DISPOSITION_INFO disposition{TRUE};
  const bool removed = retryWhileHeld([&] {
    return ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof disposition) != 0;
  });
  return removed ? std::error_code() : lastError();
}

std::error_code OpenFolder::tryLock() const {
  std::error_code error;
  const std::optional<FileIdentity> identity = identityOfHandle(handleOf(handle_), error);
  if (!identity) return error;
  const std::wstring name =
      L"Local\\trevanto-folder-" + std::to_wstring(identity->device) + L"-" + std::to_wstring(identity->file);
  const std::lock_guard guard(gLocksMutex);
  if (heldLocks().contains(handle_)) return {};
  HANDLE semaphore = ::CreateSemaphoreW(nullptr, 1, 1, name.c_str());
  if (semaphore == nullptr) return lastError();
  const DWORD waited = ::WaitForSingleObject(semaphore, 0);
  if (waited == WAIT_OBJECT_0) {
    heldLocks().emplace(handle_, semaphore);
    return {};
  }
  const std::error_code failed = waited == WAIT_TIMEOUT ? std::make_error_code(std::errc::resource_unavailable_try_again)
                                                         : lastError();
  ::CloseHandle(semaphore);
  return failed;
}

// ---- By path --------------------------------------------------------------------------------

std::error_code makeFolder(const std::filesystem::path& path) {
  return ::CreateDirectoryW(systemPath(path).c_str(), nullptr) ? std::error_code() : lastError();
}

std::error_code removeFile(const std::filesystem::path& path) {
  const std::wstring name = systemPath(path);
  return retryWhileHeld([&] { return ::DeleteFileW(name.c_str()) != 0; }) ? std::error_code() : lastError();
}

std::error_code renameReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
  const std::wstring source = systemPath(from);
  const std::wstring target = systemPath(to);
  const bool moved = retryWhileHeld(
      [&] { return ::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0; });
  return moved ? std::error_code() : lastError();
}

std::error_code linkFile(const std::filesystem::path& existing, const std::filesystem::path& newName) {
  return ::CreateHardLinkW(systemPath(newName).c_str(), systemPath(existing).c_str(), nullptr) ? std::error_code()
                                                                                               : lastError();
}

std::error_code canRead(const std::filesystem::path& path) {
  const Handle handle(openPath(path, GENERIC_READ, OPEN_EXISTING, 0));
  return handle ? std::error_code() : lastError();
}

std::error_code canWriteInto(const std::filesystem::path& folder) {
  const Handle handle(openPath(folder, FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY, OPEN_EXISTING, 0));
  return handle ? std::error_code() : lastError();
}

std::error_code syncFolderEntries(const std::filesystem::path& folder) {
  // NTFS keeps names in its journal; where a folder can be flushed at all, it is.
  const Handle handle(openPath(folder, GENERIC_WRITE, OPEN_EXISTING, 0));
  if (!handle) {
    const DWORD code = ::GetLastError();
    return code == ERROR_ACCESS_DENIED ? std::error_code() : systemError(code);
  }
  if (::FlushFileBuffers(handle.get())) return {};
  const DWORD code = ::GetLastError();
  if (code == ERROR_ACCESS_DENIED || code == ERROR_INVALID_FUNCTION || code == ERROR_INVALID_PARAMETER) return {};
  return systemError(code);
}

std::error_code syncFileAt(const std::filesystem::path& file) {
  const Handle handle(openPath(file, GENERIC_WRITE, OPEN_EXISTING, 0));
  if (!handle) {
    // A file that may not be written was not written by this program: nothing to sync.
    const DWORD code = ::GetLastError();
    return code == ERROR_ACCESS_DENIED ? std::error_code() : systemError(code);
  }
  return ::FlushFileBuffers(handle.get()) ? std::error_code() : lastError();
}

}  // namespace trevanto::base
