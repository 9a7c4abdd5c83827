#include "run/settings.h"

namespace kq {
namespace {

constexpr int32_t kOn = 255;
constexpr int32_t kOff = 0;

constexpr char kAppInfo[] = "APPINFO";
constexpr char kDialogList[] = "DIALOGLIST";
constexpr char kBuilding[] = "BUILDING";

}  // namespace

bool ReadAllUsersFlag(const Script& script) {
    return script.Short(kAppInfo, "a8") == "Per-User";
}

void LoadProductSettings(const Script& script, const std::string& companyName, const ExpandFunction& expand,
                         ProductSettings& out) {
    auto expanded = [&expand](const std::string& text) { return expand ? expand(text) : text; };

    out.productName = script.Value(kAppInfo, "a1");
    out.publisher = script.Value(kAppInfo, "a19");
    out.productVersion = script.Value(kAppInfo, "a2");
    out.companyName = companyName;

    // An empty "a4" leaves a lone backslash; the destination page starts there.
    out.defaultInstallDir = WithTrailingBackslash(expanded(script.Value(kAppInfo, "a4")));
    out.installDir = out.defaultInstallDir;

    out.allUsers = ReadAllUsersFlag(script) ? kOn : kOff;
    out.languageName = script.Value(kAppInfo, "Language");
    out.productCode = script.Value(kAppInfo, "a3");

    // As written: they name files of the chosen folder, which the user may
    // still change (see SetupRun::ExpandLaunchTargets).
    out.launchProgram = script.Value(kDialogList, "CT10");
    out.launchArguments = script.Value(kDialogList, "CT11");
    out.readmeFile = script.Value(kDialogList, "CT13");

    out.launchOffer = Script::IsNotNo(script.Short(kDialogList, "CT9")) ? kOn : kOff;
    out.readmeOffer = Script::IsNotNo(script.Short(kDialogList, "CT12")) ? kOn : kOff;

    // "255abc" and "0255" both convert to 255.
    out.preview = LeadingNumber(script.Short(kAppInfo, "PREVIEW")) == 255 ? kOn : kOff;
    out.silent = Script::IsYes(script.Short(kBuilding, "2")) ? kOn : kOff;

    out.customerRoot = script.Value(kDialogList, "CT17");
    out.customerKey = script.Value(kDialogList, "CT18");

    out.restart = Script::IsYes(script.Short(kDialogList, "CT14")) ? kOn : kOff;
}

PlaceholderValues MakePlaceholderValues(const FolderValues& folders, const ProductSettings& settings,
                                        const UserVariableTable* variables) {
    PlaceholderValues values;
    values.programFilesFolder = folders.programFiles;
    values.systemFolder = folders.system;
    values.windowsFolder = folders.windows;
    values.commonFilesFolder = folders.commonFiles;
    values.windowsVolume = folders.volume;
    values.favoritesFolder = folders.favorites;
    values.personalFolder = folders.personal;
    values.picturesFolder = folders.pictures;
    values.tempFolder = folders.temp;
    values.sendToFolder = folders.sendTo;
    values.fontsFolder = folders.fonts;
    values.appDataFolder = folders.appData;
    values.productName = settings.productName;
    values.installDir = settings.installDir;
    values.defaultInstallDir = settings.defaultInstallDir;
    values.productCode = settings.productCode;
    values.userName = folders.userName;
    values.companyName = settings.companyName;
    values.publisher = settings.publisher;
    values.productVersion = settings.productVersion;
    values.variables = variables;
    return values;
}

}  // namespace kq
