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

#include "platform/widgets/message_box.h"

namespace dbrepair {
namespace {

// Positions and sizes are given in twips; 15 twips are one pixel at 96 dpi.
constexpr int kTwipsPerPixel = 15;

void placeInTwips(QWidget* widget, int left, int top, int width, int height) {
  widget->setGeometry(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
                      height / kTwipsPerPixel);
}

// The layout is fixed in twips, drawn for a small system font. Where the
// platform's default font is larger, it is made smaller, in half points,
// until every caption fits its control; a caption must keep a few pixels of
// the button's frame free.
constexpr int kCaptionMargin = 6;
constexpr qreal kSmallestPointSize = 6.0;

bool captionsFit(const QFont& font, const QList<QWidget*>& controls) {
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

constexpr int kClientWidth = 11490;
constexpr int kClientHeight = 1605;
constexpr int kButtonWidth = 1095;
constexpr int kButtonHeight = 375;

}  // namespace

const char* handlerName(FormEvent event) {
  switch (event) {
    case FormEvent::Load: return "Form_Load";
    case FormEvent::RepairClick: return "Command1_Click";
    case FormEvent::RestoreNewClick: return "cmdRestore_Click";
    case FormEvent::RestoreOldClick: return "cmdRestoreOld_Click";
    case FormEvent::CreateBlankClick: return "cmdDelete_Click";
    case FormEvent::BrowseClick: return "CommandBrowse_Click";
    case FormEvent::CancelClick: return "Command2_Click";
  }
  return "";
}

MainWindow::MainWindow()
    : QWidget(nullptr,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                  Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      openDialog_(this) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Database Repair Utility"));
  setFixedSize(kClientWidth / kTwipsPerPixel, kClientHeight / kTwipsPerPixel);

  label1_ = new QLabel(QStringLiteral("Database Name:"), this);
  label1_->setObjectName(QStringLiteral("Label1"));
  placeInTwips(label1_, 240, 120, 1335, 255);

  combo1_ = new QComboBox(this);
  combo1_->setObjectName(QStringLiteral("Combo1"));
  combo1_->setEditable(true);
  // The list is filled once at start-up: Enter must not add the typed text,
  // and nothing may complete what the user types.
  combo1_->setInsertPolicy(QComboBox::NoInsert);
  combo1_->setCompleter(nullptr);
  combo1_->setEditText(QStringLiteral("Combo1"));
  combo1_->setToolTip(QStringLiteral("Enter the full path to the database to be repaired"));
  placeInTwips(combo1_, 240, 360, 9615, 315);

  commandBrowse_ = addButton("CommandBrowse", "Browse...", "Browse for the database file", 10080, 360);
  command1_ = addButton("Command1", "Repair", "Repair the Current Database", 5280, 960);
  cmdRestore_ = addButton("cmdRestore", "Restore New", "Restore from the most recent backup", 6480, 960);
  cmdRestoreOld_ = addButton("cmdRestoreOld", "Restore Old", "Restore from the older backup", 7680, 960);
  cmdDelete_ = addButton("cmdDelete", "Create Blank", "Erase all of the data and start over", 8880, 960);
  command2_ = addButton("Command2", "Cancel", "Exit the program", 10080, 960);

  const std::pair<QPushButton*, FormEvent> clicks[] = {
      {command1_, FormEvent::RepairClick},         {cmdRestore_, FormEvent::RestoreNewClick},
      {cmdRestoreOld_, FormEvent::RestoreOldClick}, {cmdDelete_, FormEvent::CreateBlankClick},
      {commandBrowse_, FormEvent::BrowseClick},     {command2_, FormEvent::CancelClick}};
  for (const auto& [button, event] : clicks) {
    QObject::connect(button, &QPushButton::clicked, this, [this, event = event] { dispatch(event); });
  }

  // Repair, Cancel, Browse..., the path box, Restore New, Restore Old,
  // Create Blank, and round to Repair.
  QWidget::setTabOrder(command1_, command2_);
  QWidget::setTabOrder(command2_, commandBrowse_);
  QWidget::setTabOrder(commandBrowse_, combo1_);
  QWidget::setTabOrder(combo1_, cmdRestore_);
  QWidget::setTabOrder(cmdRestore_, cmdRestoreOld_);
  QWidget::setTabOrder(cmdRestoreOld_, cmdDelete_);
  command1_->setFocus();

  QFont captionFont = font();
  const QList<QWidget*> controls = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  while (!captionsFit(captionFont, controls) && captionFont.pointSizeF() > kSmallestPointSize) {
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

QPushButton* MainWindow::addButton(const char* name, const char* caption, const char* tooltip, int left,
                                   int top) {
  auto* button = new QPushButton(QString::fromUtf8(caption), this);
  button->setObjectName(QString::fromUtf8(name));
  button->setToolTip(QString::fromUtf8(tooltip));
  // Neither Enter nor Escape presses a button of this window.
  button->setAutoDefault(false);
  button->setDefault(false);
  placeInTwips(button, left, top, kButtonWidth, kButtonHeight);
  return button;
}

void MainWindow::setHandler(FormEvent event, std::function<void()> handler) {
  handlers_[event] = std::move(handler);
}

bool MainWindow::loadAndShow() {
  dispatch(FormEvent::Load);
  if (programEnded_ || unloaded_) return false;
  show();
  activateWindow();
  command1_->setFocus();
  return true;
}

void MainWindow::dispatch(FormEvent event) {
  const auto found = handlers_.find(event);
  if (found == handlers_.end() || !found->second) return;
  // A copy: the handler may replace itself while it runs.
  const std::function<void()> handler = found->second;
  if (runEventHandler(handlerName(event), handler, reportEscaped_) == HandlerOutcome::EndedProgram) {
    quitAtOnce();
  }
}

void MainWindow::quitAtOnce() {
  programEnded_ = true;
  unloaded_ = true;
  hide();
  QCoreApplication::exit(0);
}

void MainWindow::setBusyPointer() {
  setCursor(Qt::WaitCursor);
  for (QWidget* child : findChildren<QWidget*>()) child->setCursor(Qt::WaitCursor);
}

void MainWindow::setNormalPointer() {
  unsetCursor();
  for (QWidget* child : findChildren<QWidget*>()) child->unsetCursor();
  for (auto& [widget, pointer] : ownPointers_) widget->setCursor(pointer);
}

std::string MainWindow::currentPath() { return QFile::encodeName(combo1_->currentText()).toStdString(); }

void MainWindow::setCurrentPath(const std::string& path) {
  combo1_->setEditText(QFile::decodeName(path.c_str()));
}

void MainWindow::appendItem(const std::string& item) {
  // Qt makes the first item of an empty list current, replacing the text;
  // appending must leave the text alone.
  const QString text = combo1_->currentText();
  combo1_->addItem(QFile::decodeName(item.c_str()));
  if (combo1_->currentText() != text || combo1_->currentIndex() != -1) {
    combo1_->setCurrentIndex(-1);
    combo1_->setEditText(text);
  }
}

int MainWindow::itemCount() { return combo1_->count(); }

void MainWindow::selectItem(int index) {
  // Past the end of the list there is nothing to select; Qt would clear the
  // text instead.
  if (index >= combo1_->count()) return;
  combo1_->setCurrentIndex(index);
  // Selecting the current item again still copies it into the text.
  if (index >= 0) combo1_->setEditText(combo1_->itemText(index));
}

int MainWindow::messageBox(const std::string& text, int buttons, const std::string& title) {
  return MessageBox::show(this, text, buttons, title);
}

void MainWindow::unloadWindow() { close(); }

void MainWindow::closeEvent(QCloseEvent* event) {
  unloaded_ = true;
  event->accept();
  // Leaves the event loop once control returns to it; a loop that a handler
  // starts afterwards (a message box) still runs.
  QCoreApplication::exit(0);
}

void MainWindow::endProgram() {
  quitAtOnce();
  throw EndProgram{};
}

void MainWindow::doEvents() {
  QCoreApplication::processEvents();
  // A handler run from here may have ended the program: then this one ends too.
  if (programEnded_) throw EndProgram{};
}

std::string MainWindow::programFolder() {
  return QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString() + "/";
}

}  // namespace dbrepair
