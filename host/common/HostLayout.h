// Where the stand-in host keeps things. Shared by the host programs so that
// the setup, the libraries and the test tools agree.
#pragma once

namespace host {

// Machine-wide key with the install folder, below HKEY_LOCAL_MACHINE.
inline constexpr char kHostKey[] = "Software\\Heronix\\Fumidori\\1.0";
inline constexpr char kInstallPathValue[] = "InstallPath";
inline constexpr char kDefaultInstallPath[] = "C:\\Program Files\\Heronix\\Fumidori";

// Per-user base below which the common library resolves "Key\Value" paths.
inline constexpr char kStoreBase[] = "Software\\Heronix\\Fumidori\\1.0\\User";

// The user dictionary folder of a kind is %APPDATA%\Heronix\Fumidori\<kind>.
inline constexpr char kUserDicVendor[] = "Heronix";
inline constexpr char kUserDicProduct[] = "Fumidori";

// Files of the host, by bare name.
inline constexpr char kCommonDll[] = "HRNCMN10.DLL";
inline constexpr char kEngineDll[] = "HRNCNV.DLL";
inline constexpr char kToolkitExe[] = "HRNDIC.EXE";
inline constexpr char kCmdFolder[] = "CMD";

// Logs and switches, each beside the module it belongs to.
inline constexpr char kCommonLog[] = "HRNCMN10.LOG";
inline constexpr char kCommonNoRoot[] = "HRNCMN10.NOROOT";  // root path request fails
inline constexpr char kCommonFail[] = "HRNCMN10.FAIL";      // calls to fail, see HrnCmn10.cpp
// Present when the library loads: calls are only counted, and one line of
// counts goes to kCommonCounts when it unloads (the benchmark's mode).
inline constexpr char kCommonCountOnly[] = "HRNCMN10.COUNT";
inline constexpr char kCommonCounts[] = "HRNCMN10.COUNTS";
inline constexpr char kEngineLog[] = "HRNCNV.LOG";
inline constexpr char kEngineRefuse[] = "HRNCNV.REFUSE";  // engine refuses every list
inline constexpr char kToolkitLog[] = "HRNDIC.LOG";

// Window markers.
inline constexpr char kToolkitClass[] = "HRN10_DICMANAGER_MAIN";
inline constexpr char kImeMarker[] = "HRN10_UI_MAIN";

// The UI driver's fit probe: a library the driver hooks into the program's
// dialog thread, so that texts are measured with the controls' own fonts.
// The driver sends kFitMessage with its process id; the probe writes its
// lines into the shared block kFitBlockPrefix<that id> of kFitBlockBytes.
inline constexpr char kFitProbeDll[] = "fitprobe.dll";
inline constexpr char kFitProbeHook[] = "FitProbeHook";
inline constexpr char kFitMessage[] = "LexPlant.UiDriver.Fit";
inline constexpr char kFitBlockPrefix[] = "LexPlant.UiDriver.Fit.";
inline constexpr unsigned kFitBlockBytes = 64 * 1024;

}  // namespace host
