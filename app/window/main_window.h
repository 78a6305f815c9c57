// The main window "Database Repair Utility": the path box, the Browse
// button and the five command buttons, laid out in twips at 96 dpi. It is
// the user interface of the handlers: they reach it only through
// UserInterface, and its events reach them through setHandler().
#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "app/window/form_window.h"
#include "platform/widgets/qt_open_dialog.h"

class QComboBox;
class QCursor;
class QLabel;
class QPushButton;

namespace dbrepair {

namespace form_layout {
struct Button;
}

class MainWindow : public QWidget, public FormWindow {
 public:
  MainWindow();
  ~MainWindow() override;

  // Runs Form_Load, then shows the window centred on the screen with the
  // focus on Repair. Returns false, showing nothing, when the load unloaded
  // the window or ended the program.
  bool loadAndShow();

  // CommonDialog1, the Open dialog; it lives as long as the window.
  OpenDialog& openDialog() { return openDialog_; }

  // UserInterface
  void setBusyPointer() override;
  void setNormalPointer() override;
  std::string currentPath() override;
  void setCurrentPath(const std::string& path) override;
  void appendItem(const std::string& item) override;
  int itemCount() override;
  void selectItem(int index) override;
  int messageBox(const std::string& text, int buttons, const std::string& title) override;
  void unloadWindow() override;
  std::string programFolder() override;

 protected:
  // Unloading, by a handler or through the window system: the program ends
  // once the running handler has returned.
  void closeEvent(QCloseEvent* event) override;

 private:
  QPushButton* addButton(const form_layout::Button& layout);
  void hideAndLeave() override;
  void handlePendingEvents() override;

  QLabel* label1_;
  QComboBox* combo1_;
  QPushButton* command1_;  // Repair, which has the focus at first
  QtOpenDialog openDialog_;

  // Controls that bring their own pointer (the path box's I-beam), restored
  // when the busy pointer goes.
  std::vector<std::pair<QWidget*, QCursor>> ownPointers_;
};

}  // namespace dbrepair
