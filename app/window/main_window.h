// The main window "Database Repair Utility": the path box, the Browse
// button and the five command buttons, laid out in twips at 96 dpi. It is
// the user interface of the handlers: they reach it only through
// UserInterface, and its events reach them through SetHandler().
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
  bool LoadAndShow();

  // CommonDialog1, the Open dialog; it lives as long as the window.
  OpenDialog& CommonDialog1() { return openDialog_; }

  // UserInterface
  void SetBusyPointer() override;
  void SetNormalPointer() override;
  std::string CurrentPath() override;
  void SetCurrentPath(const std::string& path) override;
  void AppendItem(const std::string& item) override;
  int ItemCount() override;
  void SelectItem(int index) override;
  int MsgBox(const std::string& text, int buttons, const std::string& title) override;
  void UnloadWindow() override;
  std::string ProgramFolder() override;

 protected:
  // Unloading, by a handler or through the window system: the program ends
  // once the running handler has returned.
  void closeEvent(QCloseEvent* event) override;

 private:
  QPushButton* AddButton(const form_layout::Button& layout);
  void HideAndLeave() override;
  void HandlePendingEvents() override;

  QLabel* label1_;
  QComboBox* combo1_;
  QPushButton* command1_;  // Repair, which has the focus at first
  QtOpenDialog openDialog_;

  // Controls that bring their own pointer (the path box's I-beam), restored
  // when the busy pointer goes.
  std::vector<std::pair<QWidget*, QCursor>> ownPointers_;
};

}  // namespace dbrepair
