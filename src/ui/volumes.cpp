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

bool liesUnder(const QString& folder, const QString& mountPoint) {
  if (mountPoint == QLatin1String("/")) return folder.startsWith(QLatin1Char('/'));
  return folder == mountPoint || folder.startsWith(mountPoint + QLatin1Char('/'));
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

QString volumeOf(const QString& folder, const QList<Volume>& volumes) {
  QString best;
  for (const Volume& volume : volumes) {
    if (liesUnder(folder, volume.mountPoint) && volume.mountPoint.size() > best.size()) best = volume.mountPoint;
  }
  return best;
}

QList<Volume> mountedVolumes() {
  QList<Volume> volumes;
  for (const QStorageInfo& storage : QStorageInfo::mountedVolumes()) {
    if (!storage.isValid()) continue;
    const QString mountPoint = QDir::cleanPath(storage.rootPath());
    if (!isUserVolume(mountPoint, storage.fileSystemType(), QFileInfo(mountPoint).isDir())) continue;
    const bool known = std::any_of(volumes.cbegin(), volumes.cend(),
                                   [&](const Volume& volume) { return volume.mountPoint == mountPoint; });
    if (!known) volumes.append({mountPoint, storage.name()});
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
