// SPDX-License-Identifier: MIT
#include "form4.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include "fonts.h"
#include "twips.h"

namespace trevanto::ui {

// A dialog with a title and a close box only: no minimise button to hide it away from the main
// window, which takes no input while it is open.
constexpr Qt::WindowFlags kFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

// Not a child widget: disabling the main window would disable it too.
Form4::Form4(QWidget* mainWindow) : QWidget(nullptr, kFlags), mainWindow_(mainWindow) {
  setObjectName(QStringLiteral("Form4"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("About"));
  setFont(arial(8.25));
  setFixedSize(twips(4380), twips(1005));

  Label1 = new QLabel(QLatin1String(kProgramName) + QStringLiteral("  V 1"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(twipsRect(120, 120, 4455, 375));
  Label1->setFont(arial(15.75, true));
  QPalette red = Label1->palette();
  red.setColor(QPalette::WindowText, QColor(255, 0, 0));
  Label1->setPalette(red);

  Label2 = new QLabel(QStringLiteral("Заходите в гости :") + QLatin1String(kWebAddress), this);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label2->setGeometry(twipsRect(600, 480, 2895, 255));

  Command1 = new QPushButton(QStringLiteral("Close"), this);
  Command1->setObjectName(QStringLiteral("Command1"));
  Command1->setGeometry(twipsRect(960, 720, 2055, 255));
  Command1->setAutoDefault(true);
  connect(Command1, &QPushButton::clicked, this, &Form4::Command1_Click);
  Command1->setFocus();

  // The main window owns it at the window manager's level: it stays above that window and goes
  // and comes back with it; and it goes when the main window is destroyed.
  if (mainWindow_ != nullptr) connect(mainWindow_, &QObject::destroyed, this, [this] { delete this; });
  if (mainWindow_ != nullptr && mainWindow_->windowHandle() != nullptr) {
    winId();
    windowHandle()->setTransientParent(mainWindow_->windowHandle());
  }
}

void Form4::bringToFront() {
  if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
  raise();
  activateWindow();
}

void Form4::Command1_Click() {
  if (mainWindow_) mainWindow_->setEnabled(true);
  close();
}

void Form4::closeEvent(QCloseEvent* event) {
  // However the window goes (button, close box, Escape, the program's exit), the main window
  // takes input again.
  if (mainWindow_) mainWindow_->setEnabled(true);
  event->accept();
}

void Form4::changeEvent(QEvent* event) {
  // Minimised on its own it would leave a main window that takes no input and nothing to close:
  // it comes straight back. With the main window it may go.
  if (event->type() == QEvent::WindowStateChange && isMinimized() && mainWindow_ && !mainWindow_->isMinimized()) {
    QTimer::singleShot(0, this, &Form4::bringToFront);
  }
  QWidget::changeEvent(event);
}

void Form4::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace trevanto::ui
