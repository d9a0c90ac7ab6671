// SPDX-License-Identifier: MIT
#include "osnova.h"


#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <optional>
#include <algorithm>

#include "base/charset.h"
#include "base/file_error.h"
#include "base/text.h"
#include "fonts.h"
#include "form4.h"
#include "import_window.h"
#include "list_controls.h"
#include "message_box.h"
#include "option_box.h"
#include "run_controller.h"
#include "settings_store.h"
#include "site/template_folder.h"
#include "site/text_encoding.h"
#include "twips.h"
#include "volumes.h"

namespace trevanto::ui {
namespace {

const QString kUrlCaption = QStringLiteral("Кол. во (URL): ");
const QString kHtmlCaption = QStringLiteral("Кол. во (HTML): ");

QString countLabel(const QString& caption, int count) {
  return caption + QString::fromStdString(base::countText(count));
}

// An option's state from the store: plain decimal digits, blanks around allowed, 0 to 2.
std::optional<int> storedOption(const QString& text) {
  const QString digits = text.trimmed();
  bool ok = !digits.isEmpty() &&
            std::all_of(digits.cbegin(), digits.cend(), [](QChar c) { return c.isDigit() && c.unicode() < 128; });
  const int value = ok ? digits.toInt(&ok) : -1;
  if (!ok || value < 0 || value > 2) return std::nullopt;
  return value;
}

std::optional<QString> storedPath(const QString& text) {
  if (text.isEmpty()) return std::nullopt;
  return text;
}

// One step of loading: the stored text made a value and handed to set, or false when it makes none.
template <typename Value, typename Set>
bool loadStep(const std::optional<Value>& value, Set set) {
  if (!value) return false;
  set(*value);
  return true;
}

template <typename Widget>
Widget* place(Widget* widget, const char* name, const QRect& geometry) {
  widget->setObjectName(QLatin1String(name));
  widget->setGeometry(geometry);
  return widget;
}

}  // namespace

Osnova::Osnova(QWidget* parent)
    : QMainWindow(parent),
      programFolder_(fromFsPath(site::templateFolder(toFsPath(QCoreApplication::applicationDirPath())))) {
  setObjectName(QStringLiteral("Osnova"));
  setWindowTitle(QStringLiteral("Основная форма"));
  // The sizes drawn from the one icon source, data/icons/trevanto.svg.
  QIcon icon;
  for (int size : {16, 32, 48, 64, 128, 256}) {
    icon.addFile(QStringLiteral(":/icons/%1/trevanto.png").arg(size), QSize(size, size));
  }
  setWindowIcon(icon);
  setFont(arial(8.25));

  setupControls();
  setupMenu();
  setupTabOrder();
  wireControls();

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setSingleShot(true);
  Timer1->setInterval(2000);
  connect(Timer1, &QTimer::timeout, this, &Osnova::Timer1_Timer);

  run_ = new RunController(this);
  connect(run_, &RunController::finished, this, &Osnova::runEnded);

  setFixedSize(twips(7830), twips(2760) + menuBar()->sizeHint().height());
  Dir->setFocus();
}

Osnova::~Osnova() = default;

void Osnova::setupControls() {
  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("client"));
  client->setFixedSize(twips(7830), twips(2760));
  setCentralWidget(client);

  Label1 = place(new QLabel(QStringLiteral("Откуда"), client), "Label1", twipsRect(240, 0, 2055, 255));
  Label1->setFont(arial(9, true));
  Label2 = place(new QLabel(QStringLiteral("Куда"), client), "Label2", twipsRect(2640, 0, 1935, 255));
  Label2->setFont(arial(9, true));
  Drive1 = place(new DriveList(client), "Drive1", twipsRect(120, 240, 2295, 315));
  Drive2 = place(new DriveList(client), "Drive2", twipsRect(2520, 240, 2175, 315));
  Dir = place(new FolderList(client), "Dir", twipsRect(120, 600, 2295, 1890));
  DirS = place(new FolderList(client), "DirS", twipsRect(2520, 600, 2175, 1890));
  File = place(new FileList(client), "File", twipsRect(360, 1560, 975, 480));
  File->setPattern(QStringLiteral("*.url"));
  File->setPath(Dir->Path());
  FileS = place(new FileList(client), "FileS", twipsRect(2040, 1560, 1215, 480));
  FileS->setPath(DirS->Path());
  Label3 = place(new QLabel(kUrlCaption, client), "Label3", twipsRect(120, 2520, 2175, 255));
  Label3->setFont(arial(8.25));
  Label4 = place(new QLabel(kHtmlCaption, client), "Label4", twipsRect(2520, 2520, 2175, 255));
  Label4->setFont(arial(8.25));
  Command1 = place(new QPushButton(QStringLiteral("Start"), client), "Command1", twipsRect(4800, 120, 3015, 255));
  Command2 = place(new QPushButton(QStringLiteral("Выход"), client), "Command2", twipsRect(4800, 360, 3015, 255));
  Check1 = place(new OptionBox(QStringLiteral("Нетребовать нажатия START при запуске !"), client), "Check1",
                 twipsRect(4800, 600, 2895, 495));
  Check2 = place(new OptionBox(QStringLiteral("Закрытие программы по исполнению !"), client), "Check2",
                 twipsRect(4800, 1200, 2895, 615));
  Check3 = place(new OptionBox(QStringLiteral("Не показывать статистику по оканчанию"), client), "Check3",
                 twipsRect(4800, 1920, 2895, 615));
}

void Osnova::setupMenu() {
  QAction* Ab = menuBar()->addAction(QStringLiteral("About"));
  Ab->setObjectName(QStringLiteral("Ab"));
  connect(Ab, &QAction::triggered, this, [this] { Ab_Click(0); });
  QAction* Imp = menuBar()->addAction(QStringLiteral("Импорт"));
  Imp->setObjectName(QStringLiteral("Imp"));
  connect(Imp, &QAction::triggered, this, &Osnova::Imp_Click);
  QMenu* options = menuBar()->addMenu(QStringLiteral("Настройки"));
  options->setObjectName(QStringLiteral("Options"));
  Nested = options->addAction(QStringLiteral("Вложенные папки — разделы"));
  Nested->setObjectName(QStringLiteral("Nested"));
  Nested->setCheckable(true);
  Nested->setToolTip(QStringLiteral("Каждая папка внутри раздела становится разделом, названным по пути: "
                                    "«Links - Работа - Проекты»"));
}

void Osnova::setupTabOrder() {
  const QList<QWidget*> order = {Dir, DirS, Drive1, Drive2, Command1, Check1, Check2, Check3, Command2};
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void Osnova::wireControls() {
  Drive1->onChange = [this] { Drive1_Change(); };
  Dir->onChange = [this] { Dir_Change(); };
  Dir->onClick = [this] { Dir_Click(); };
  Drive2->onChange = [this] { Drive2_Change(); };
  DirS->onChange = [this] { DirS_Change(); };
  DirS->onClick = [this] { DirS_Click(); };
  connect(Command1, &QPushButton::clicked, this, &Osnova::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &Osnova::Command2_Click);
}

// ---------------------------------------------------------------------------------------------
// The chains. A write that changes a list runs its change procedure before it returns; a write
// that changes nothing runs nothing, which is what ends the chain.

void Osnova::Drive1_Change() {
  Drive1->Refresh();
  Dir_Click();
}

void Osnova::Dir_Change() {
  followDriveOfFolder(Drive1, Dir);
  Dir_Click();
}

void Osnova::Dir_Click() {
  Dir->setPathToDrive(Drive1->Drive());
  File_Click();
}

void Osnova::File_Click() {
  File->setPath(Dir->Path());
  File->Refresh();
  Label3->setText(countLabel(kUrlCaption, File->ListCount()));
  Label3->repaint();
}

void Osnova::Drive2_Change() {
  Drive2->Refresh();
  DirS_Click();
}

void Osnova::DirS_Change() {
  followDriveOfFolder(Drive2, DirS);
  DirS_Click();
}

void Osnova::DirS_Click() {
  DirS->setPathToDrive(Drive2->Drive());
  FileS_Click();
}

void Osnova::FileS_Click() {
  FileS->setPath(DirS->Path());
  FileS->Refresh();
  Label4->setText(countLabel(kHtmlCaption, FileS->ListCount()));
  Label4->repaint();
}

// Mount points nest: opening /home from / crosses onto another volume. The drive list then
// follows, or the chain's write of the drive would take the folder list straight back.
void Osnova::followDriveOfFolder(DriveList* drive, FolderList* folder) {
  const QString volume = volumeOf(folder->Path(), currentVolumes());
  if (!volume.isEmpty() && volume != drive->Drive()) drive->setDrive(volume);
}

// ---------------------------------------------------------------------------------------------
// The conversion run.

bool Osnova::isRunning() const {
  return run_->state() == RunController::State::Running || run_->state() == RunController::State::Finishing;
}

bool Osnova::runsUnattended() const { return Timer1->isActive() && Check2->Value() == 1; }

void Osnova::setProgressDelay(int milliseconds) { run_->setProgressDelay(milliseconds); }

void Osnova::Command1_Click() {
  if (run_->state() != RunController::State::Idle) return;
  Command1->setEnabled(false);
  setInputBlocked(true);
  site::RunRequest request(Dir->folder(), DirS->folder(), toFsPath(programFolder_));
  request.nestedSections = Nested->isChecked();
  run_->start(std::move(request));
}

// The run has returned: its statistics or what failed, then the close when one was asked for
// or Check2 is set.
void Osnova::runEnded(const site::RunReport& report) {
  const QString statistics = QString::fromStdString(site::statisticsMessage(report));
  if (report.failed()) {
    MessageBox::failure(this, QString::fromStdString(report.error) + QStringLiteral("\n\n") + statistics);
  } else if (run_->state() != RunController::State::Closing && Check3->Value() != 1) {
    MessageBox::information(this, statistics);
  }
  if (run_->state() == RunController::State::Closing || Check2->Value() == 1) {
    if (report.failed()) exitCode_ = 1;
    emit runFinished();
    Command2_Click();
    return;
  }
  setInputBlocked(false);
  Command1->setEnabled(true);
  emit runFinished();
  if (run_->takeQueuedStart()) QTimer::singleShot(0, this, &Osnova::Command1_Click);
}

// While a run goes on the window paints but takes no input, its menu included.
void Osnova::setInputBlocked(bool blocked) {
  if (blocked) {
    QWidget* focused = QApplication::focusWidget();
    focusBeforeRun_ = focused != nullptr && isAncestorOf(focused) ? focused : nullptr;
  }
  centralWidget()->setEnabled(!blocked);
  menuBar()->setEnabled(!blocked);
  if (!blocked && focusBeforeRun_) focusBeforeRun_->setFocus();
}

// ---------------------------------------------------------------------------------------------
// Start-up, the automatic start and the exit.

void Osnova::Form_Load() {
  SettingsStore store;
  Nested->setChecked(settings::switchedOn(store.read(settings::kNestedSectionsKey)));
  const auto option = [&store](const char* key) { return storedOption(store.read(QLatin1String(key))); };
  const auto path = [&store](const char* key) { return storedPath(store.read(QLatin1String(key))); };
  // The first step that fails ends loading quietly; what came before it stays. A drive or
  // folder that is not there (FileError) fails its step too.
  bool loaded = false;
  try {
    loaded =
      loadStep(option("CHECK1"), [this](int value) { Check1->setValue(value); }) &&
      loadStep(option("CHECK2"), [this](int value) { Check2->setValue(value); }) &&
      loadStep(option("CHECK3"), [this](int value) { Check3->setValue(value); }) &&
      loadStep(path("DIR"), [this](const QString& value) { Dir->setPath(value); }) &&
      loadStep(path("DIRS"), [this](const QString& value) { DirS->setPath(value); }) &&
      loadStep(path("Drive1"), [this](const QString& value) { Drive1->setDrive(value); }) &&
      loadStep(path("Drive2"), [this](const QString& value) { Drive2->setDrive(value); });
  } catch (const base::FileError&) {
    return;
  }
  if (!loaded) return;
  if (Check1->Value() == 1) Timer1->start();
}

void Osnova::Timer1_Timer() {
  Timer1->stop();
  // Two runs never overlap: this one starts when the run going now has returned.
  if (isRunning()) {
    run_->queueStart();
    return;
  }
  Command1_Click();
}

void Osnova::Command2_Click() {
  if (!mayClose()) return;
  close();
  // A window the system has not shown yet takes no close from it (an unattended run can end
  // that early under wine): it is hidden instead, which ends the program all the same (main.cpp).
  if (isVisible()) hide();
  closeAbout();
  closeImport();
}

// Every close of the window saves the settings and closes the About window.
bool Osnova::Form_Unload() {
  if (!mayClose()) return false;
  closeAbout();
  closeImport();
  return true;
}

void Osnova::closeEvent(QCloseEvent* event) {
  if (Form_Unload()) {
    event->accept();
  } else {
    event->ignore();
  }
}

// The first close saves the settings. A close during a run stops the run first and completes
// when it has returned.
bool Osnova::mayClose() {
  switch (run_->requestClose()) {
    case RunController::Close::AfterRun:
      return false;
    case RunController::Close::Now:
      Timer1->stop();
      saveSettings();
      return true;
    case RunController::Close::Already:
      return true;
  }
  return true;
}

void Osnova::saveSettings() {
  SettingsStore store;
  store.write(QStringLiteral("CHECK1"), QString::number(Check1->Value()));
  store.write(QStringLiteral("CHECK2"), QString::number(Check2->Value()));
  store.write(QStringLiteral("CHECK3"), QString::number(Check3->Value()));
  store.write(QStringLiteral("DIR"), Dir->Path());
  store.write(QStringLiteral("DIRS"), DirS->Path());
  store.write(QStringLiteral("DRIVE1"), Drive1->Drive());
  store.write(QStringLiteral("DRIVE2"), Drive2->Drive());
  store.write(settings::kNestedSectionsKey, Nested->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
  const QString failure = store.commit();
  if (!failure.isEmpty()) MessageBox::failure(this, failure);
}

// ---------------------------------------------------------------------------------------------
// The About window.

void Osnova::Ab_Click(int /*Index*/) {
  setEnabled(false);
  if (!form4_) {
    form4_ = new Form4(this);
    form4_->move(frameGeometry().center() - form4_->rect().center());
  }
  form4_->show();
  form4_->bringToFront();
}

// The main window takes no input while About is open; when the window manager activates it (a
// click on it, say), About comes to the front instead.
void Osnova::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && form4_ && form4_->isVisible()) {
    QTimer::singleShot(0, form4_.data(), &Form4::bringToFront);
  }
}

void Osnova::closeAbout() {
  if (form4_) form4_->close();
}

}  // namespace trevanto::ui

namespace trevanto::ui {

// ---------------------------------------------------------------------------------------------
// The import window. When an import has ended, the source side's chain brings Dir's subfolders
// and Label3's count up to date.

void Osnova::Imp_Click() {
  if (import_) {
    import_->raise();
    import_->activateWindow();
    return;
  }
  import_ = new ImportWindow(this, Dir->folder(), [this] {
    try {
      Dir_Click();
    } catch (const std::exception&) {
      // The folder went away meanwhile: the count stays as it was.
    }
  });
  import_->setAttribute(Qt::WA_DeleteOnClose);
  // Below or above the main window, whose lists and count it brings up to date, rather than over
  // it, when the screen has room.
  if (const QScreen* screen = this->screen()) {
    const QRect room = screen->availableGeometry();
    const QRect main = frameGeometry();
    const int height = import_->height() + (main.height() - this->height());  // with its frame
    if (main.bottom() + 8 + height <= room.bottom()) {
      import_->move(main.left(), main.bottom() + 8);
    } else if (main.top() - 8 - height >= room.top()) {
      import_->move(main.left(), main.top() - 8 - height);
    }
  }
  import_->show();
}

void Osnova::closeImport() {
  if (import_) import_->closeWithProgram();
}

}  // namespace trevanto::ui
