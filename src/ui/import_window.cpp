// SPDX-License-Identifier: MIT
#include "import_window.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "list_controls.h"
#include "message_box.h"
#include "program.h"

namespace trevanto::ui {
namespace {

std::optional<import::UserHome> testHome;

constexpr int kBrowserColumn = 0;
constexpr int kNameColumn = 1;
constexpr int kCountColumn = 2;
// Which list an item stands for: a profile found, or a file added by hand.
constexpr int kProfileRole = Qt::UserRole;
constexpr int kFileRole = Qt::UserRole + 1;

QString text(const std::string& utf8) { return QString::fromStdString(utf8); }

// The folder the import writes into, in full: a relative one is where the program was started.
QString shownFolder(const std::filesystem::path& folder) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(folder, error);
  return QDir::toNativeSeparators(fromFsPath(error ? folder : absolute));
}

std::string countOf(const import::BrowserProfile& profile) {
  if (!profile.problem.empty()) return "не читается: " + profile.problem;
  if (profile.bookmarks.empty()) return "0";
  try {
    return std::to_string(import::countBookmarks(profile.bookmarks));
  } catch (const std::exception& failure) {
    return std::string("не читается: ") + failure.what();
  }
}

}  // namespace

void ImportWindow::setUserHomeForTests(std::optional<import::UserHome> home) { testHome = std::move(home); }

ImportWindow::ImportWindow(QWidget* mainWindow, std::filesystem::path collection, std::function<void()> imported)
    : QDialog(mainWindow), collection_(std::move(collection)), imported_(std::move(imported)) {
  setObjectName(QStringLiteral("ImportWindow"));
  setWindowTitle(QStringLiteral("Импорт"));
  setWindowModality(Qt::WindowModal);

  Profiles = new QTreeWidget(this);
  Profiles->setObjectName(QStringLiteral("Profiles"));
  Profiles->setHeaderLabels({QStringLiteral("Браузер"), QStringLiteral("Профиль"), QStringLiteral("Закладок")});
  Profiles->setRootIsDecorated(false);
  Profiles->setSelectionMode(QAbstractItemView::NoSelection);
  Profiles->header()->setStretchLastSection(false);
  Profiles->header()->setSectionResizeMode(kBrowserColumn, QHeaderView::ResizeToContents);
  Profiles->header()->setSectionResizeMode(kNameColumn, QHeaderView::Stretch);
  Profiles->header()->setSectionResizeMode(kCountColumn, QHeaderView::ResizeToContents);
  Status = new QLabel(QStringLiteral("Поиск профилей браузеров..."), this);
  Status->setObjectName(QStringLiteral("Status"));
  Target = new QLabel(QStringLiteral("Куда: ") + shownFolder(collection_), this);
  Target->setObjectName(QStringLiteral("Target"));
  Target->setTextFormat(Qt::PlainText);
  Progress = new QProgressBar(this);
  Progress->setObjectName(QStringLiteral("Progress"));
  Progress->setRange(0, 1000);
  Progress->setVisible(false);
  AddFile = new QPushButton(QStringLiteral("Добавить файл..."), this);
  AddFile->setObjectName(QStringLiteral("AddFile"));
  Import = new QPushButton(QStringLiteral("Импортировать"), this);
  Import->setObjectName(QStringLiteral("Import"));
  Import->setEnabled(false);
  Import->setDefault(true);
  Close = new QPushButton(QStringLiteral("Закрыть"), this);
  Close->setObjectName(QStringLiteral("Close"));

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(AddFile);
  buttons->addStretch();
  buttons->addWidget(Import);
  buttons->addWidget(Close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Profiles);
  layout->addWidget(Status);
  layout->addWidget(Target);
  layout->addWidget(Progress);
  layout->addLayout(buttons);
  Profiles->setMinimumHeight(110);
  resize(520, 230);

  connect(AddFile, &QPushButton::clicked, this, &ImportWindow::chooseFile);
  connect(Import, &QPushButton::clicked, this, &ImportWindow::startImport);
  connect(Close, &QPushButton::clicked, this, &QDialog::close);
  ticker_ = new QTimer(this);
  ticker_->setInterval(100);
  connect(ticker_, &QTimer::timeout, this, &ImportWindow::showProgress);

  // Profiles are looked for, and their bookmarks counted, off the window's thread: a large
  // places.sqlite takes a moment to copy and read.
  auto found = std::make_shared<std::pair<std::vector<import::BrowserProfile>, std::vector<std::string>>>();
  const import::UserHome home = testHome ? *testHome : import::UserHome::fromEnvironment();
  scan_ = QThread::create([found, home] {
    found->first = import::findBrowserProfiles(home);
    for (const import::BrowserProfile& profile : found->first) found->second.push_back(countOf(profile));
  });
  scan_->setParent(this);
  connect(scan_, &QThread::finished, this, [this, found] {
    scan_->deleteLater();
    scan_ = nullptr;
    listProfiles(std::move(found->first), std::move(found->second));
  });
  scan_->start();
}

ImportWindow::~ImportWindow() {
  for (QThread* thread : {scan_, thread_}) {
    if (thread != nullptr) thread->wait();
  }
}

void ImportWindow::listProfiles(std::vector<import::BrowserProfile> profiles, std::vector<std::string> counts) {
  profiles_ = std::move(profiles);
  for (std::size_t i = 0; i < profiles_.size(); ++i) {
    const import::BrowserProfile& profile = profiles_[i];
    auto* item = new QTreeWidgetItem(Profiles, {text(profile.browser), text(profile.name), text(counts[i])});
    item->setData(0, kProfileRole, static_cast<int>(i));
    item->setCheckState(kBrowserColumn, Qt::Checked);
    item->setToolTip(kNameColumn, fromFsPath(profile.folder));
    item->setTextAlignment(kCountColumn, Qt::AlignRight | Qt::AlignVCenter);
  }
  Status->setText(profiles_.empty() ? QStringLiteral("Профили браузеров не найдены.")
                                    : QStringLiteral("Найдено профилей: %1").arg(profiles_.size()));
  Import->setEnabled(true);
  emit profilesListed();
}

void ImportWindow::chooseFile() {
  // Qt's own dialog, dot folders shown: browsers keep their profiles in ~/.mozilla, ~/.config ...
  QFileDialog dialog(this, QStringLiteral("Файл закладок"), QDir::homePath());
  dialog.setObjectName(QStringLiteral("BookmarkFileDialog"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setFilter(dialog.filter() | QDir::Hidden);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  addFile(toFsPath(dialog.selectedFiles().front()));
}

bool ImportWindow::addFile(const std::filesystem::path& file) {
  std::int64_t count = 0;
  try {
    count = import::countBookmarks(file);
  } catch (const std::exception& failure) {
    MessageBox::failure(this, QString::fromStdString(failure.what()));
    return false;
  }
  files_.push_back(file);
  auto* item = new QTreeWidgetItem(
      Profiles, {QStringLiteral("Файл"), fromFsPath(file.filename()), QString::number(count)});
  item->setData(0, kFileRole, static_cast<int>(files_.size() - 1));
  item->setCheckState(kBrowserColumn, Qt::Checked);
  item->setToolTip(kNameColumn, fromFsPath(file));
  item->setTextAlignment(kCountColumn, Qt::AlignRight | Qt::AlignVCenter);
  return true;
}

void ImportWindow::startImport() {
  if (thread_ != nullptr || scan_ != nullptr) return;
  // The first import into a folder makes its sections: asked first, naming the folder in full.
  const QString folder = shownFolder(collection_);
  if (!import::collectionHoldsSections(collection_) &&
      !MessageBox::question(this, QStringLiteral("В папке «%1» ещё нет разделов. Импорт создаст в ней папки "
                                                 "разделов с ярлыками. Импортировать в эту папку?")
                                      .arg(folder)))
    return;
  import::ImportRequest request;
  request.collection = collection_;
  for (int i = 0; i < Profiles->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = Profiles->topLevelItem(i);
    if (item->checkState(kBrowserColumn) != Qt::Checked) continue;
    if (const QVariant file = item->data(0, kFileRole); file.isValid()) {
      request.inputs.push_back(files_[static_cast<std::size_t>(file.toInt())]);
      continue;
    }
    const import::BrowserProfile& profile = profiles_[static_cast<std::size_t>(item->data(0, kProfileRole).toInt())];
    if (profile.bookmarks.empty() && profile.problem.empty()) continue;  // a profile not used yet
    request.profiles.push_back({profile.bookmarks, profile.label(), profile.problem});
  }
  shared_ = std::make_shared<Shared>();
  request.progress = [shared = shared_](std::int64_t done, std::int64_t total) {
    shared->total = total;
    shared->done = done;
  };
  for (QWidget* control : std::initializer_list<QWidget*>{Profiles, AddFile, Import, Close}) control->setEnabled(false);
  Progress->setValue(0);
  Progress->setVisible(true);
  Status->setText(QStringLiteral("Импорт в папку «%1»...").arg(folder));
  thread_ = QThread::create([shared = shared_, request = std::move(request)] { shared->report = import::runImport(request); });
  thread_->setParent(this);
  connect(thread_, &QThread::finished, this, &ImportWindow::importEnded);
  ticker_->start();
  thread_->start();
}

void ImportWindow::showProgress() {
  const std::int64_t total = shared_->total;
  const std::int64_t done = shared_->done;
  Progress->setValue(total > 0 ? static_cast<int>(done * 1000 / total) : 0);
  if (total > 0) Status->setText(QStringLiteral("Импорт: %1 из %2").arg(done).arg(total));
}

// The statistics as the importer gives them, then the window's own count brought up to date.
void ImportWindow::importEnded() {
  ticker_->stop();
  thread_->deleteLater();
  thread_ = nullptr;
  const import::ImportReport& report = shared_->report;
  QStringList lines;
  for (const std::string& line : import::importStatisticsLines(report)) lines << QString::fromStdString(line);
  Progress->setValue(1000);
  Status->setText(report.failed() ? QStringLiteral("Импорт не выполнен.") : QStringLiteral("Импорт выполнен."));
  for (QWidget* control : std::initializer_list<QWidget*>{Profiles, AddFile, Import, Close}) control->setEnabled(true);
  if (!closingWithProgram_) {
    if (report.failed()) {
      MessageBox::failure(this, QString::fromStdString(report.error) + QStringLiteral("\n\n") + lines.join(u'\n'));
    } else {
      MessageBox::information(this, lines.join(u'\n'));
    }
    if (imported_) imported_();
  }
  emit importFinished();
  if (closingWithProgram_) close();
}

void ImportWindow::closeWithProgram() {
  closingWithProgram_ = true;
  if (thread_ != nullptr) thread_->wait();
  close();
}

void ImportWindow::closeEvent(QCloseEvent* event) {
  // An import going on ends first; the window waits for it.
  if (thread_ != nullptr && !closingWithProgram_) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

}  // namespace trevanto::ui
