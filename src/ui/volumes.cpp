// SPDX-License-Identifier: MIT
#include "volumes.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>
#include <optional>

namespace trevanto::ui {
namespace {

struct VolumeState {
  VolumeProvider provider;
  std::optional<QList<Volume>> known;  // as last read
};

VolumeState& state() {
  static VolumeState current;
  return current;
}

// The letter (in upper case) of a text that begins with a drive letter and its colon ("c:",
// "C:\Users", "c: [System]"); none otherwise.
QChar letterOf(const QString& text) {
  if (text.size() < 2 || text[1] != QLatin1Char(':')) return {};
  const QChar letter = text[0].toUpper();
  return letter >= QLatin1Char('A') && letter <= QLatin1Char('Z') ? letter : QChar();
}

bool isSeparator(QChar c) { return c == QLatin1Char('/') || c == QLatin1Char('\\'); }

// A drive letter's root: the letter and its colon, and a separator or nothing.
bool isDriveRoot(const QString& designation) {
  return !letterOf(designation).isNull() && (designation.size() == 2 || (designation.size() == 3 && isSeparator(designation[2])));
}

bool liesUnder(const QString& folder, const QString& mountPoint) {
  // A drive letter holds every path that begins with it, whatever its case and separators.
  if (isDriveRoot(mountPoint)) {
    return letterOf(folder) == letterOf(mountPoint) && (folder.size() == 2 || isSeparator(folder[2]));
  }
  if (mountPoint == QLatin1String("/")) return folder.startsWith(QLatin1Char('/'));
  return folder == mountPoint || folder.startsWith(mountPoint + QLatin1Char('/'));
}

// A mount point's kind, by where desktops mount removable media and by its file system.
Volume::Kind kindOf(const QString& mountPoint, const QByteArray& fileSystemType) {
  static const QList<QByteArray> network = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs", "afs", "9p"};
  if (network.contains(fileSystemType)) return Volume::Kind::Network;
  if (fileSystemType == "iso9660" || fileSystemType == "udf") return Volume::Kind::Optical;
  if (liesUnder(mountPoint, QStringLiteral("/media")) || liesUnder(mountPoint, QStringLiteral("/run/media"))) {
    return Volume::Kind::Removable;
  }
  return Volume::Kind::Fixed;
}

QList<Volume> driveLetterVolumes(const std::vector<base::DriveLetter>& letters) {
  QList<Volume> volumes;
  for (const base::DriveLetter& drive : letters) {
    volumes.append({QString::fromStdString(drive.root), QString::fromStdString(drive.label), drive.kind});
  }
  return volumes;
}

}  // namespace

bool isUserVolume(const QString& mountPoint, const QByteArray& fileSystemType, bool isFolder) {
  if (mountPoint == QLatin1String("/")) return true;
  if (!isFolder) return false;  // a single file bound into place, as containers do
  static const QList<QByteArray> pseudo = {
      "proc",    "sysfs",      "devtmpfs",  "devpts",          "tmpfs",       "ramfs",       "cgroup",
      "cgroup2", "securityfs", "pstore",    "efivarfs",        "debugfs",     "tracefs",     "configfs",
      "fusectl", "mqueue",     "hugetlbfs", "autofs",          "bpf",         "binfmt_misc", "rpc_pipefs",
      "nsfs",    "squashfs",   "overlay",   "fuse.gvfsd-fuse", "fuse.portal", "fuse.lxcfs"};
  if (pseudo.contains(fileSystemType)) return false;
  for (const char* tree : {"/proc", "/sys", "/dev", "/run", "/snap", "/var/lib/docker"}) {
    if (liesUnder(mountPoint, QString::fromLatin1(tree))) {
      // Desktops mount removable media under /run/media.
      return liesUnder(mountPoint, QStringLiteral("/run/media")) && mountPoint != QLatin1String("/run/media");
    }
  }
  return true;
}

QString volumeText(const Volume& volume) {
  if (volume.label.isEmpty()) return volume.mountPoint;
  return volume.mountPoint + QStringLiteral(" [") + volume.label + QLatin1Char(']');
}

QString volumeOf(const QString& folder, const QList<Volume>& volumes) {
  QString best;
  for (const Volume& volume : volumes) {
    if (liesUnder(folder, volume.mountPoint) && volume.mountPoint.size() > best.size()) best = volume.mountPoint;
  }
  return best;
}

QString designationOf(const QString& text, const QList<Volume>& volumes) {
  for (const Volume& volume : volumes) {
    if (volume.mountPoint == text) return volume.mountPoint;
  }
  const QChar letter = letterOf(text);
  if (letter.isNull()) return {};
  for (const Volume& volume : volumes) {
    if (isDriveRoot(volume.mountPoint) && letterOf(volume.mountPoint) == letter) return volume.mountPoint;
  }
  return {};
}

QList<Volume> mountedVolumes() {
  if (const std::vector<base::DriveLetter> letters = base::driveLetters(); !letters.empty()) {
    return driveLetterVolumes(letters);
  }
  QList<Volume> volumes;
  for (const QStorageInfo& storage : QStorageInfo::mountedVolumes()) {
    if (!storage.isValid()) continue;
    const QString mountPoint = QDir::cleanPath(storage.rootPath());
    if (!isUserVolume(mountPoint, storage.fileSystemType(), QFileInfo(mountPoint).isDir())) continue;
    const bool known = std::any_of(volumes.cbegin(), volumes.cend(),
                                   [&](const Volume& volume) { return volume.mountPoint == mountPoint; });
    if (!known) volumes.append({mountPoint, storage.name(), kindOf(mountPoint, storage.fileSystemType())});
  }
  std::sort(volumes.begin(), volumes.end(), [](const Volume& a, const Volume& b) {
    if ((a.mountPoint == QLatin1String("/")) != (b.mountPoint == QLatin1String("/"))) {
      return a.mountPoint == QLatin1String("/");
    }
    return a.mountPoint < b.mountPoint;
  });
  if (volumes.isEmpty()) volumes.append({QStringLiteral("/"), {}});
  return volumes;
}

void setVolumeProvider(VolumeProvider provider) {
  state().provider = std::move(provider);
  state().known.reset();
}

void readVolumesAgain() { state().known = state().provider ? state().provider() : mountedVolumes(); }

QList<Volume> currentVolumes() {
  if (!state().known) readVolumesAgain();
  return *state().known;
}

}  // namespace trevanto::ui
