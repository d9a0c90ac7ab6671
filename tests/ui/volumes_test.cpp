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
