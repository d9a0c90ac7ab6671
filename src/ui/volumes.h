// SPDX-License-Identifier: MIT
// Drives on a system without drive letters: every mounted volume a person would recognise
// (the root, a separate home, removable media, network shares) is one drive, named by its
// mount point. A folder lies on the volume with the longest mount point that prefixes it.
#pragma once

#include <QList>
#include <QString>
#include <functional>

namespace trevanto::ui {

struct Volume {
  QString mountPoint;  // the drive's designation
  QString label;       // the file system's name, or empty
};

// True for a volume worth offering: the root always; otherwise a folder mounted outside the
// kernel's own trees with a file system that holds user files.
bool isUserVolume(const QString& mountPoint, const QByteArray& fileSystemType, bool isFolder);

// The mount point among volumes that holds folder (the longest one that prefixes it by whole
// path components); empty when none does.
QString volumeOf(const QString& folder, const QList<Volume>& volumes);

// The volumes mounted now, root first, the rest by mount point.
QList<Volume> mountedVolumes();

// The volumes the drive lists offer, as last read. Reading them asks every mount point (one
// hung network mount can take seconds), so they are read only on a drive list's Refresh and
// when a drive list opens, never on the clicks of the chains.
QList<Volume> currentVolumes();
void readVolumesAgain();

// Tests put folders of their own in place of the mounted volumes; an empty provider restores
// the real ones.
using VolumeProvider = std::function<QList<Volume>()>;
void setVolumeProvider(VolumeProvider provider);

}  // namespace trevanto::ui
