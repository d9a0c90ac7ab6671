// SPDX-License-Identifier: MIT
#include "list_controls.h"

#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QStyle>
#include <QStyledItemDelegate>

#include "base/charset.h"
#include "base/file_error.h"
#include "base/folder_order.h"
#include "base/path_text.h"
#include "base/text.h"
#include "message_box.h"
#include "site/shortcut_listing.h"
#include "site/text_encoding.h"
#include "volumes.h"

namespace trevanto::ui {
namespace fs = std::filesystem;

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kLevelRole = Qt::UserRole + 1;
constexpr int kIndentPerLevel = 6;

// Absolute, without "." and "..", and without a trailing separator except at the root.
fs::path normalFolder(const fs::path& path) {
  fs::path normal = fs::absolute(path).lexically_normal();
  if (!normal.has_filename() && normal != normal.root_path()) normal = normal.parent_path();
  return normal;
}

QString itemText(const std::string& rawName) { return QString::fromStdString(base::displayName(rawName)); }

// A folder list's entry keeps the path it stands for as the system holds it.
QVariant pathData(const fs::path& path) {
#ifdef _WIN32
  return QString::fromStdWString(path.native());
#else
  return QByteArray::fromStdString(path.native());
#endif
}

fs::path pathOfData(const QVariant& data) {
#ifdef _WIN32
  return fs::path(data.toString().toStdWString());
#else
  return fs::path(data.toByteArray().toStdString());
#endif
}

QIcon driveIcon(const QStyle* style, Volume::Kind kind) {
  switch (kind) {
    case Volume::Kind::Removable:
      return style->standardIcon(QStyle::SP_DriveFDIcon);
    case Volume::Kind::Optical:
      return style->standardIcon(QStyle::SP_DriveCDIcon);
    case Volume::Kind::Network:
      return style->standardIcon(QStyle::SP_DriveNetIcon);
    case Volume::Kind::Fixed:
    case Volume::Kind::Memory:
      break;
  }
  return style->standardIcon(QStyle::SP_DriveHDIcon);
}

// What the user does runs here: a failure ends in a message box over the window, once.
bool reportFailures(QWidget* widget, const std::function<void()>& action) {
  try {
    action();
    return true;
  } catch (const std::exception& failure) {
    MessageBox::failure(widget->window(), QString::fromStdString(failure.what()));
    return false;
  }
}

// The entries of a folder list step in by their depth below the root.
class IndentDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem indented = option;
    indented.rect.setLeft(option.rect.left() + index.data(kLevelRole).toInt() * kIndentPerLevel);
    QStyledItemDelegate::paint(painter, indented, index);
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const QSize size = QStyledItemDelegate::sizeHint(option, index);
    return {size.width() + index.data(kLevelRole).toInt() * kIndentPerLevel, size.height()};
  }
};

}  // namespace

// On Windows the system's names are UTF-16, as QString is; elsewhere they are bytes, which Qt
// encodes and decodes as the locale says.
#ifdef _WIN32
fs::path toFsPath(const QString& path) { return fs::path(path.toStdWString()); }

QString fromFsPath(const fs::path& path) { return QString::fromStdWString(path.native()); }
#else
fs::path toFsPath(const QString& path) { return fs::path(QFile::encodeName(path).toStdString()); }

QString fromFsPath(const fs::path& path) { return QFile::decodeName(QByteArray::fromStdString(path.native())); }
#endif

// ---------------------------------------------------------------------------------------------

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
  fill(volumeOf(QDir::currentPath(), currentVolumes()));
  connect(this, &QComboBox::currentIndexChanged, this, [this] {
    if (!filling_) userChoseIndex();
  });
}

QString DriveList::Drive() const { return currentData().toString(); }

void DriveList::setDrive(const QString& text) {
  // A drive letter may come in any of its spellings ("c:", "C:/"); the list names it as it does.
  const QString designation = designationOf(text, currentVolumes());
  if (designation.isEmpty()) throw base::FileError("Диск недоступен", toFsPath(text), "такой диск сейчас не подключён");
  if (designation == Drive()) return;
  fill(designation);
  if (onChange) onChange();
}

void DriveList::Refresh() {
  readVolumesAgain();
  fill(Drive());
}

void DriveList::showPopup() {
  Refresh();
  QComboBox::showPopup();
}

void DriveList::fill(const QString& selected) {
  filling_ = true;
  clear();
  for (const Volume& volume : currentVolumes()) {
    addItem(driveIcon(style(), volume.kind), volumeText(volume), volume.mountPoint);
  }
  // A drive that went away stays selected, so the failure shows where the user looks.
  if (!selected.isEmpty() && findData(selected) < 0) {
    addItem(style()->standardIcon(QStyle::SP_DriveHDIcon), selected, selected);
  }
  setCurrentIndex(findData(selected));
  filling_ = false;
}

void DriveList::userChoseIndex() {
  reportFailures(this, [this] {
    if (onChange) onChange();
  });
}

// ---------------------------------------------------------------------------------------------

FolderList::FolderList(QWidget* parent) : QListWidget(parent) {
  setItemDelegate(new IndentDelegate(this));
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
  connect(this, &QListWidget::itemDoubleClicked, this, &FolderList::userOpens);
  connect(this, &QListWidget::itemClicked, this, &FolderList::userClicks);
  std::error_code error;
  const fs::path current = fs::current_path(error);
  const fs::path start = error ? fs::path("/") : normalFolder(current);
  std::vector<std::string> subfolders;
  try {
    subfolders = base::listSubfolders(start);
  } catch (const base::FileError&) {
    // Shown empty; the first chain that reads it says why.
  }
  showFolder(start, std::move(subfolders));
}

QString FolderList::Path() const { return fromFsPath(shown_); }

void FolderList::setPath(const QString& path) {
  if (path.isEmpty()) throw base::FileError("Не удалось открыть папку", {}, "путь не задан");
  setFolder(toFsPath(path));
}

void FolderList::setFolder(const fs::path& path) {
  const fs::path folder = normalFolder(path);
  std::vector<std::string> subfolders = base::listSubfolders(folder);
  if (folder == shown_) {
    if (subfolders != subfolders_) {
      subfolders_ = std::move(subfolders);
      rebuild();
    }
    return;
  }
  showFolder(folder, std::move(subfolders));
  if (onChange) onChange();
}

void FolderList::setPathToDrive(const QString& designation) {
  const fs::path drive = normalFolder(toFsPath(designation));
  std::error_code error;
  if (!fs::is_directory(drive, error)) {
    throw base::FileError("Диск не готов", drive, error ? error.message() : "папка подключения недоступна");
  }
  // A folder remembered from earlier and removed since falls back to the nearest folder above
  // it on the drive. The folder shown is not replaced that way: its loss is reported.
  fs::path target = normalFolder(toFsPath(lastShownOnDrive_.value(designation, designation)));
  while (target != shown_ && target != drive && target.has_relative_path() && !fs::is_directory(target, error)) {
    target = target.parent_path();
  }
  setFolder(target);
}

int FolderList::ListCount() const { return static_cast<int>(subfolders_.size()); }

QString FolderList::List(int index) const {
  return fromFsPath(base::joinPath(shown_, subfolders_.at(static_cast<std::size_t>(index))));
}

void FolderList::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentItem() != nullptr) {
    userOpens(currentItem());
    return;
  }
  QListWidget::keyPressEvent(event);
}

void FolderList::showFolder(const fs::path& folder, std::vector<std::string> subfolders) {
  shown_ = folder;
  subfolders_ = std::move(subfolders);
  const QString path = Path();
  lastShownOnDrive_.insert(volumeOf(path, currentVolumes()), path);
  rebuild();
}

void FolderList::rebuild() {
  clear();
  const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
  auto add = [this](const QIcon& icon, const QString& text, const fs::path& path, int level) {
    auto* item = new QListWidgetItem(icon, text, this);
    item->setData(kPathRole, pathData(path));
    item->setData(kLevelRole, level);
    return item;
  };
  // The folder's ancestors from the root ("/", "C:\") down, the folder itself, then its
  // subfolders.
  fs::path ancestor = shown_.root_path();
  int level = 0;
  QListWidgetItem* current = add(open, fromFsPath(ancestor), ancestor, level++);
  for (const fs::path& part : shown_.relative_path()) {
    if (part.empty()) continue;
    ancestor /= part;
    current = add(open, itemText(base::textOf(part)), ancestor, level++);
  }
  for (const std::string& name : subfolders_) add(closed, itemText(name), base::joinPath(shown_, name), level);
  if (current != nullptr) {
    setCurrentItem(current);
    scrollToItem(current);
  }
}

void FolderList::userOpens(QListWidgetItem* item) {
  const fs::path path = pathOfData(item->data(kPathRole));
  userAction([this, path] { setFolder(path); });
}

void FolderList::userClicks() {
  userAction([this] {
    if (onClick) onClick();
  });
}

// Were the folder shown gone, every later click would fail the same way, the first click of a
// double click included, and the list could never leave it: after the message the list moves
// to the nearest folder above that still exists, and its chain runs from there.
void FolderList::userAction(const std::function<void()>& action) {
  if (reportFailures(this, action)) return;
  std::error_code error;
  if (fs::is_directory(shown_, error)) return;
  fs::path above = shown_;
  while (above.has_relative_path() && !fs::is_directory(above, error)) above = above.parent_path();
  reportFailures(this, [this, above] { setFolder(above); });
}

// ---------------------------------------------------------------------------------------------

FileList::FileList(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::NoFocus);
  hide();
}

void FileList::Refresh() {
  const bool shortcuts = pattern_.compare(QLatin1String("*.url"), Qt::CaseInsensitive) == 0;
  names_ = site::listFiles(toFsPath(path_), shortcuts ? site::FilePattern::Shortcuts : site::FilePattern::AllFiles);
}

QString FileList::List(int index) const { return fromFsPath(base::pathOf(names_.at(static_cast<std::size_t>(index)))); }

}  // namespace trevanto::ui
