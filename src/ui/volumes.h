// SPDX-License-Identifier: MIT
// The drives of the drive lists. On a system with drive letters (Windows) a drive is a letter:
// every one the system knows, fixed, removable (with a medium in it or not) or a network drive,
// named by its root ("C:\"). On a system without them every mounted volume a person would
// recognise (the root, a separate home, removable media, network shares) is one drive, named
// by its mount point. A folder lies on the drive with the longest designation that prefixes it.
#pragma once

#include <QList>
#include <QString>
#include <functional>

#include "base/drives.h"

namespace trevanto::ui {

struct Volume {
  using Kind = base::DriveLetter::Kind;  // what a drive is, as the system tells it
  QString mountPoint;  // the drive's designation: a mount point ("/", "/media/usb") or a root ("C:\")
  QString label;       // the file system's name, a network drive's share, or empty
  Kind kind = Kind::Fixed;
};

// True for a volume worth offering: the root always; otherwise a folder mounted outside the
// kernel's own trees with a file system that holds user files.
bool isUserVolume(const QString& mountPoint, const QByteArray& fileSystemType, bool isFolder);

// What a drive list shows for a volume: its designation, then its label in brackets.
QString volumeText(const Volume& volume);

// The designation among volumes that holds folder (the longest one that prefixes it by whole
// path components; a drive letter in either case and with either separator); empty when none
// does.
QString volumeOf(const QString& folder, const QList<Volume>& volumes);

// The designation among volumes that text names: the same text, or another spelling of a drive
// letter ("c:", "C:/", "c: [System]" for "C:\"); empty when none does.
QString designationOf(const QString& text, const QList<Volume>& volumes);

// The drives there are now: the drive letters where the system has them, else the mounted
// volumes, root first, the rest by mount point.
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
