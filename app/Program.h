#pragma once

// Program start shared by the real program and the demo: the application, its
// title, the main window and the message loop.
enum class TProgramKind { Real, Demo };

int RunProgram(int argc, char** argv, TProgramKind kind);
