// What the wizard package (packages/wizard) shows, for the cases that walk
// its pages: the window title, one text that only each page shows, and its
// messages from language.lan with [ProductName] expanded.
#pragma once
#include <string>
#include <vector>

namespace kq::e2e::wizard_package {

constexpr char kTitle[] = "Wizard Test Product Setup";
constexpr char kQuestionTitle[] = "Calvarr Merrowin";
constexpr char kInstallDir[] = "C:\\Program Files\\Wizard Test Product\\";

constexpr char kWelcome[] = "Welcome to the Wizard Test Product Setup Wizard";
constexpr char kSetupType[] = "Please select a setup type.";
constexpr char kReady[] = "The wizard is ready to begin installation.";

constexpr char kErrorStatus[] = "Wizard Test Product was not installed: setup stopped before the end.";

// Selects the wizard's window for Click, Step and WaitPage.
inline const std::vector<std::string> kWizard = {"--title", kTitle, "--exact"};

}  // namespace kq::e2e::wizard_package
