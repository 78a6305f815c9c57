#include "app/window/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include "app/window/form_layout.h"
#include "platform/widgets/message_box.h"

namespace dbrepair {
namespace {

// Positions and sizes are given in twips; 15 twips are one pixel at 96 dpi.
constexpr int kTwipsPerPixel = 15;

void PlaceInTwips(QWidget* widget, const form_layout::Place& at) {
  widget->setGeometry(at.left / kTwipsPerPixel, at.top / kTwipsPerPixel, at.width / kTwipsPerPixel,
                      at.height / kTwipsPerPixel);
}

// The layout is fixed in twips, drawn for a small system font. Where the
// platform's default font is larger, it is made smaller, in half points,
// until every caption fits its control; a caption must keep a few pixels of
// the button's frame free.
constexpr int kCaptionMargin = 6;
constexpr qreal kSmallestPointSize = 6.0;

bool CaptionsFit(const QFont& font, const QList<QWidget*>& controls) {
  const QFontMetrics metrics(font);
  for (QWidget* control : controls) {
    QString caption;
    int margin = 0;
    if (auto* label = qobject_cast<QLabel*>(control)) {
      caption = label->text();
    } else if (auto* button = qobject_cast<QPushButton*>(control)) {
      caption = button->text();
      margin = kCaptionMargin;
    }
    if (!caption.isEmpty() && metrics.horizontalAdvance(caption) + margin > control->width()) return false;
  }
  return true;
}

}  // namespace

MainWindow::MainWindow()
    : QWidget(nullptr,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                  Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      openDialog_(this) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QString::fromUtf8(form_layout::kTitle));
  setFixedSize(form_layout::kClientWidth / kTwipsPerPixel, form_layout::kClientHeight / kTwipsPerPixel);

  label1_ = new QLabel(QString::fromUtf8(form_layout::kLabelCaption), this);
  label1_->setObjectName(QStringLiteral("Label1"));
  PlaceInTwips(label1_, form_layout::kLabel);

  combo1_ = new QComboBox(this);
  combo1_->setObjectName(QStringLiteral("Combo1"));
  combo1_->setEditable(true);
  // The list is filled once at start-up: Enter must not add the typed text,
  // and nothing may complete what the user types.
  combo1_->setInsertPolicy(QComboBox::NoInsert);
  combo1_->setCompleter(nullptr);
  combo1_->setEditText(QString::fromUtf8(form_layout::kComboText));
  combo1_->setToolTip(QString::fromUtf8(form_layout::kComboTooltip));
  PlaceInTwips(combo1_, form_layout::kCombo);

  // In tab order, the path box in its place among the buttons.
  QWidget* previous = nullptr;
  std::vector<QPushButton*> buttons;
  for (std::size_t i = 0; i < form_layout::kButtons.size(); ++i) {
    if (static_cast<int>(i) == form_layout::kComboTabPosition) {
      QWidget::setTabOrder(previous, combo1_);
      previous = combo1_;
    }
    const form_layout::Button& layout = form_layout::kButtons[i];
    QPushButton* button = AddButton(layout);
    QObject::connect(button, &QPushButton::clicked, this, [this, event = layout.click] { Dispatch(event); });
    if (previous != nullptr) QWidget::setTabOrder(previous, button);
    previous = button;
    buttons.push_back(button);
  }
  command1_ = buttons[0];
  command1_->setFocus();

  QFont captionFont = font();
  const QList<QWidget*> controls = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  while (!CaptionsFit(captionFont, controls) && captionFont.pointSizeF() > kSmallestPointSize) {
    captionFont.setPointSizeF(captionFont.pointSizeF() - 0.5);
  }
  setFont(captionFont);

  for (QWidget* child : findChildren<QWidget*>()) {
    if (child->testAttribute(Qt::WA_SetCursor)) ownPointers_.emplace_back(child, child->cursor());
  }

  // Centred before the load handler runs, so that its notices stand where
  // the window will appear.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), screen->availableGeometry()));
  }
}

MainWindow::~MainWindow() = default;

QPushButton* MainWindow::AddButton(const form_layout::Button& layout) {
  auto* button = new QPushButton(QString::fromUtf8(layout.caption), this);
  button->setObjectName(QString::fromUtf8(layout.name));
  button->setToolTip(QString::fromUtf8(layout.tooltip));
  // Neither Enter nor Escape presses a button of this window.
  button->setAutoDefault(false);
  button->setDefault(false);
  PlaceInTwips(button, layout.place);
  return button;
}

bool MainWindow::LoadAndShow() {
  if (!Load()) return false;
  show();
  activateWindow();
  command1_->setFocus();
  return true;
}

void MainWindow::HideAndLeave() {
  hide();
  QCoreApplication::exit(0);
}

void MainWindow::SetBusyPointer() {
  setCursor(Qt::WaitCursor);
  for (QWidget* child : findChildren<QWidget*>()) child->setCursor(Qt::WaitCursor);
}

void MainWindow::SetNormalPointer() {
  unsetCursor();
  for (QWidget* child : findChildren<QWidget*>()) child->unsetCursor();
  for (auto& [widget, pointer] : ownPointers_) widget->setCursor(pointer);
}

std::string MainWindow::CurrentPath() { return QFile::encodeName(combo1_->currentText()).toStdString(); }

void MainWindow::SetCurrentPath(const std::string& path) {
  combo1_->setEditText(QFile::decodeName(path.c_str()));
}

void MainWindow::AppendItem(const std::string& item) {
  // Qt makes the first item of an empty list current, replacing the text;
  // appending must leave the text alone.
  const QString text = combo1_->currentText();
  combo1_->addItem(QFile::decodeName(item.c_str()));
  if (combo1_->currentText() != text || combo1_->currentIndex() != -1) {
    combo1_->setCurrentIndex(-1);
    combo1_->setEditText(text);
  }
}

int MainWindow::ItemCount() { return combo1_->count(); }

void MainWindow::SelectItem(int index) {
  // Past the end of the list there is nothing to select; Qt would clear the
  // text instead.
  if (index >= combo1_->count()) return;
  combo1_->setCurrentIndex(index);
  // Selecting the current item again still copies it into the text.
  if (index >= 0) combo1_->setEditText(combo1_->itemText(index));
}

int MainWindow::MsgBox(const std::string& text, int buttons, const std::string& title) {
  return MessageBox::Show(this, text, buttons, title);
}

void MainWindow::UnloadWindow() { close(); }

void MainWindow::closeEvent(QCloseEvent* event) {
  MarkUnloaded();
  event->accept();
  // Leaves the event loop once control returns to it; a loop that a handler
  // starts afterwards (a message box) still runs.
  QCoreApplication::exit(0);
}

void MainWindow::HandlePendingEvents() { QCoreApplication::processEvents(); }

std::string MainWindow::ProgramFolder() {
  return QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString() + "/";
}

}  // namespace dbrepair
