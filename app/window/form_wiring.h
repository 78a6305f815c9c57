// Puts Form1's handlers behind the main window's events.
#pragma once

namespace dbrepair {

class Form1;
class FormEvents;

// Every event of the window runs its handler of form; errors that escape a
// handler go to form's report. form must outlive the window's event loop.
void ConnectForm(FormEvents& window, Form1& form);

}  // namespace dbrepair
