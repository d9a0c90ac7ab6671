// SPDX-License-Identifier: MIT
// The drive letters of Windows: GetLogicalDrives, each drive's type, and its volume's name
// (a network drive's share from the connection table, which asks no server).
#include <windows.h>
#include <winnetwk.h>

#include "base/drives.h"
#include "windows_text.h"

namespace trevanto::base {
namespace {

DriveLetter::Kind kindOf(UINT type) {
  switch (type) {
    case DRIVE_REMOVABLE:
      return DriveLetter::Kind::Removable;
    case DRIVE_CDROM:
      return DriveLetter::Kind::Optical;
    case DRIVE_REMOTE:
      return DriveLetter::Kind::Network;
    case DRIVE_RAMDISK:
      return DriveLetter::Kind::Memory;
    default:
      return DriveLetter::Kind::Fixed;
  }
}

std::wstring networkShare(wchar_t letter) {
  const wchar_t local[] = {letter, L':', L'\0'};
  std::wstring remote(MAX_PATH, L'\0');
  DWORD size = static_cast<DWORD>(remote.size());
  DWORD status = WNetGetConnectionW(local, remote.data(), &size);
  if (status == ERROR_MORE_DATA) {
    remote.assign(size, L'\0');
    status = WNetGetConnectionW(local, remote.data(), &size);
  }
  if (status != NO_ERROR) return {};
  remote.resize(wcsnlen(remote.c_str(), remote.size()));
  return remote;
}

std::wstring volumeName(const wchar_t* root) {
  wchar_t name[MAX_PATH + 1] = {};
  if (!GetVolumeInformationW(root, name, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0)) return {};
  return name;
}

}  // namespace

std::vector<DriveLetter> driveLetters() {
  // A drive without a medium answers at once instead of asking the user to insert one.
  const UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  std::vector<DriveLetter> drives;
  const DWORD present = GetLogicalDrives();
  for (int index = 0; index < 26; ++index) {
    if ((present & (DWORD{1} << index)) == 0) continue;
    const wchar_t letter = static_cast<wchar_t>(L'A' + index);
    const wchar_t root[] = {letter, L':', L'\\', L'\0'};
    const UINT type = GetDriveTypeW(root);
    if (type == DRIVE_NO_ROOT_DIR || type == DRIVE_UNKNOWN) continue;
    DriveLetter drive;
    drive.root = windows::utf8Of(root);
    drive.kind = kindOf(type);
    // A floppy drive spins up when asked for its volume; its letter says enough.
    const bool floppy = drive.kind == DriveLetter::Kind::Removable && (letter == L'A' || letter == L'B');
    if (drive.kind == DriveLetter::Kind::Network) {
      drive.label = windows::utf8Of(networkShare(letter));
    } else if (!floppy) {
      drive.label = windows::utf8Of(volumeName(root));
    }
    drives.push_back(std::move(drive));
  }
  SetErrorMode(previousMode);
  return drives;
}

}  // namespace trevanto::base
