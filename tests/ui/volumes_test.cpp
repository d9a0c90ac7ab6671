// SPDX-License-Identifier: MIT
#include "volumes.h"

#include <gtest/gtest.h>

#include "ui_test_support.h"

namespace trevanto::ui {
namespace {

TEST(VolumeOf, longestMountPointThatPrefixesByWholeComponents) {
  const QList<Volume> volumes = {{"/", {}}, {"/home", {}}, {"/home/ann/usb", {}}, {"/media/cd", {}}};
  EXPECT_EQ(volumeOf("/home/ann/usb/photos", volumes), "/home/ann/usb");
  EXPECT_EQ(volumeOf("/home/ann/usbstick", volumes), "/home");
  EXPECT_EQ(volumeOf("/home", volumes), "/home");
  EXPECT_EQ(volumeOf("/homework", volumes), "/");
  EXPECT_EQ(volumeOf("/", volumes), "/");
  EXPECT_EQ(volumeOf("/etc", {{"/home", {}}}), "");
}

// Windows spells one drive many ways: the letter in either case, a backslash or a slash, with or
// without the separator after the colon.
TEST(VolumeOf, aDriveLetterHoldsItsPathsInEitherCaseAndEitherSeparator) {
  const QList<Volume> volumes = {{"A:\\", {}}, {"C:\\", "System"}, {"Z:\\", "\\\\files\\links"}};
  EXPECT_EQ(volumeOf("C:\\Users\\Анна\\Ссылки", volumes), "C:\\");
  EXPECT_EQ(volumeOf("c:/users/ann", volumes), "C:\\");
  EXPECT_EQ(volumeOf("C:\\", volumes), "C:\\");
  EXPECT_EQ(volumeOf("z:", volumes), "Z:\\");
  EXPECT_EQ(volumeOf("D:\\site", volumes), "");
  EXPECT_EQ(volumeOf("C:site", volumes), "");  // relative to the drive's current folder: no path of ours
  EXPECT_EQ(volumeOf("\\\\files\\links\\x", volumes), "");
  // A path of the other system lies on no drive of this one.
  EXPECT_EQ(volumeOf("/home/ann", volumes), "");
  EXPECT_EQ(volumeOf("C:\\Users", {{"/", {}}, {"/home", {}}}), "");
}

TEST(DesignationOf, aStoredDriveIsFoundByItsLetterOrNotAtAll) {
  const QList<Volume> letters = {{"C:\\", "System"}, {"Z:\\", "\\\\files\\links", Volume::Kind::Network}};
  EXPECT_EQ(designationOf("C:\\", letters), "C:\\");
  EXPECT_EQ(designationOf("c:", letters), "C:\\");
  EXPECT_EQ(designationOf("C:/", letters), "C:\\");
  EXPECT_EQ(designationOf("z: [\\\\files\\links]", letters), "Z:\\");
  EXPECT_EQ(designationOf("D:\\", letters), "");
  EXPECT_EQ(designationOf("/", letters), "");
  EXPECT_EQ(designationOf("", letters), "");
  EXPECT_EQ(designationOf("1:\\", letters), "");

  const QList<Volume> mounts = {{"/", {}}, {"/media/c:", {}}};
  EXPECT_EQ(designationOf("/", mounts), "/");
  EXPECT_EQ(designationOf("/media/c:", mounts), "/media/c:");
  EXPECT_EQ(designationOf("C:\\", mounts), "");  // a letter means nothing where there are none
}

TEST(VolumeText, theDesignationThenTheLabelInBrackets) {
  EXPECT_EQ(volumeText({"C:\\", "System"}), "C:\\ [System]");
  EXPECT_EQ(volumeText({"A:\\", {}, Volume::Kind::Removable}), "A:\\");
  EXPECT_EQ(volumeText({"Z:\\", "\\\\files\\links", Volume::Kind::Network}), "Z:\\ [\\\\files\\links]");
  EXPECT_EQ(volumeText({"/media/ann/USB", "USB"}), "/media/ann/USB [USB]");
}

TEST(IsUserVolume, keepsWhatAPersonRecognisesAndDropsPseudoFileSystems) {
  EXPECT_TRUE(isUserVolume("/", "overlay", true));
  EXPECT_TRUE(isUserVolume("/home", "ext4", true));
  EXPECT_TRUE(isUserVolume("/run/media/ann/USB", "vfat", true));
  EXPECT_TRUE(isUserVolume("/media/ann/CD", "iso9660", true));
  EXPECT_TRUE(isUserVolume("/mnt/share", "cifs", true));
  EXPECT_TRUE(isUserVolume("/net/files", "nfs4", true));

  EXPECT_FALSE(isUserVolume("/proc", "proc", true));
  EXPECT_FALSE(isUserVolume("/sys/fs/cgroup", "cgroup2", true));
  EXPECT_FALSE(isUserVolume("/dev/shm", "tmpfs", true));
  EXPECT_FALSE(isUserVolume("/run/user/1000", "tmpfs", true));
  EXPECT_FALSE(isUserVolume("/run/lock", "ext4", true));
  EXPECT_FALSE(isUserVolume("/snap/core/17", "squashfs", true));
  EXPECT_FALSE(isUserVolume("/etc/hosts", "ext4", false));
}

TEST(MountedVolumes, rootComesFirstAndEveryEntryIsAFolder) {
  const QList<Volume> volumes = mountedVolumes();
  ASSERT_FALSE(volumes.isEmpty());
  EXPECT_EQ(volumes.front().mountPoint, "/");
  for (const Volume& volume : volumes) {
    EXPECT_FALSE(volume.mountPoint.startsWith("/proc")) << volume.mountPoint.toStdString();
    EXPECT_FALSE(volume.mountPoint.startsWith("/sys")) << volume.mountPoint.toStdString();
  }
}

}  // namespace
}  // namespace trevanto::ui
