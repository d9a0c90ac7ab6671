// SPDX-License-Identifier: MIT
#include "option_box.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace trevanto::ui {

QString captionAsDrawn(const QString& text) {
  QString drawn = text;
  drawn.replace(QStringLiteral(" !"), QStringLiteral("\u00A0!"));
  return drawn;
}

OptionBox::OptionBox(const QString& text, QWidget* parent) : QCheckBox(text, parent) { setTristate(true); }

int OptionBox::Value() const {
  switch (checkState()) {
    case Qt::Unchecked:
      return 0;
    case Qt::Checked:
      return 1;
    case Qt::PartiallyChecked:
      return 2;
  }
  return 0;
}

void OptionBox::setValue(int value) {
  setCheckState(value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}

void OptionBox::nextCheckState() { setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked); }

bool OptionBox::hitButton(const QPoint& position) const { return rect().contains(position); }

void OptionBox::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);

  QStyleOptionButton indicator = option;
  indicator.rect = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this);
  indicator.rect.moveTop((height() - indicator.rect.height()) / 2);
  painter.drawPrimitive(QStyle::PE_IndicatorCheckBox, indicator);

  const int textLeft =
      indicator.rect.right() + 1 + style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, this);
  const QRect textArea(textLeft, 0, width() - textLeft, height());
  const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap;
  const QString caption = captionAsDrawn(text());
  style()->drawItemText(&painter, textArea, flags, palette(), isEnabled(), caption, QPalette::WindowText);

  if (hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = painter.fontMetrics().boundingRect(textArea, flags, caption).adjusted(-1, 0, 1, 0) & rect();
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
  }
}

}  // namespace trevanto::ui
