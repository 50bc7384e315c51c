#pragma once
class QApplication;

// Process-wide start-up before the main window exists (fonts, engine state),
// shared by the program and its tests.
void InitializeApplication();

// Sets the title, shows the main window and runs the message loop.
// `--sample` (or no earlier choice) pre-fills the path with the bundled sample.
int RunLabelApplication(QApplication& app);
