#pragma once
// TAutoUpgrader: asks the publisher's server whether a newer version exists,
// asks the user, downloads the listed files beside the program and hands over
// to the replacement program, which puts them in place and starts the program
// again. Every transfer goes through its TCustomHTTP; all of its logic and
// events run on the UI thread.
//
// What it trusts: the update-information file only with a valid signature
// under the key it was given (the program's entry gives the one compiled in),
// each file only with the size and SHA-256 the signed file lists, file names
// only when plain, and a version only when it is newer than the running one,
// which must itself be a version number. An update is all or nothing: unless
// every listed file arrived and matches, nothing is replaced and its downloads
// go. A self-upgrade must bring the program's own file; every file replaces
// only its own name beside the program. Every transfer has a bound on its whole
// time, and Cancel() ends any phase.

#include "core/Timing.h"
#include "platform/EventLoop.h"
#include "platform/ProgramFile.h"
#include "update/AutoUpgraderUi.h"
#include "update/HTTPTransfer.h"
#include "update/UpdateInfo.h"
#include "update/UpdateSignature.h"
#include "update/UpgradeList.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vantor {

// The information file's standard address; VANTOR_UPDATE_URL replaces it (the
// signature is what makes any address safe).
inline constexpr const char* kInfoFileURL =
    "https://updates.quorvane.example/Bench/Quorvane_Half_Life_2_Benchmark/qvn_vantor.inf";
inline constexpr const char* kUpdateCaption = "Application update wizard";
inline constexpr const char* kNotVerifiedText = "The update information could not be verified.";
// An information file or signature larger than this is not one.
inline constexpr std::uint64_t kInfoFileLimit = 64 * 1024;
inline constexpr std::uint64_t kSignatureLimit = 1024;

enum TShowMessage : unsigned {
    mAskUpgrade = 1,
    mConnLost = 2,
    mHostUnreachable = 4,
    mLostFile = 8,
    mNoInfoFile = 16,
    mNoUpdateAvailable = 32,
    mPasswordRequest = 64,
};

// How a check or download ended (for front ends that need one answer).
enum class TUpdateEnd {
    NoUpdate,
    Later,
    Aborted,
    HostUnreachable,
    NoInfoFile,
    ConnLost,
    Refused,
    Redirected,
    Restarting,
};

struct TAutoUpgraderWizard {
    bool Enabled = true;
    bool HideFileLocation = true;
    bool StayOnTop = true;
};

class TAutoUpgrader {
public:
    TAutoUpgrader(EventLoop& loop, AutoUpgraderUi& ui, const UpdatePublicKey& key);
    ~TAutoUpgrader();

    std::string InfoFileURL = kInfoFileURL;
    std::string VersionNumber;
    std::string VersionDate = "07/20/2005";  // read only when comparing by date, which the program does not
    unsigned ShowMessages = mAskUpgrade | mConnLost | mLostFile;
    TAutoUpgraderWizard Wizard;
    std::string RestartParams = "/afterupgrade";
    std::uint32_t CacheOptions = coReloadIfNoExpireInformation | coReloadUpdatedObjects | coCreateTempFilesIfCantCache;
    // Bounds on a whole transfer: the information file and its signature each;
    // a file FileBound plus FileBoundPerMiB for every MiB it lists.
    std::chrono::milliseconds InfoFileBound = kHttpInfoBound;
    std::chrono::milliseconds FileBound = kHttpFileBound;
    std::chrono::milliseconds FileBoundPerMiB = kHttpFilePerMiB;
    std::string AppTitle;
    // The running program's file; the downloads go into its folder.
    std::string ProgramPath;
    // Where the replacement program is written; empty: the system's temporary folder.
    std::string TempFolder;
    // The transfer (its bounds, and the tests' certificate authority).
    TCustomHTTP& http() { return http_; }

    // Opens an address in the web browser (the redirect method).
    std::function<void(const std::string&)> OpenURL;
    // Closes the main window and ends the program (the restart's last step).
    std::function<void()> CloseApplication;
    // Starts the replacement program once the program's file is marked as in
    // use until this process ends (replaced in tests).
    std::function<bool(const std::string& Program, const std::vector<std::string>& Args, std::string* Error)>
        StartUpgrader;

    std::function<void()> OnLaterUpgrade;
    std::function<void()> OnAborted;
    std::function<void(const std::string& URL, const std::string& Hostname)> OnHostUnreachable;
    std::function<void()> OnNoUpdateAvailable;
    // The signed information offers an older version than the running one (or
    // none that can be compared); OnNoUpdateAvailable follows.
    std::function<void(const std::string& Offered, const std::string& Running)> OnOlderVersion;
    // The update was refused: the running version is not a version, the
    // information is not verified, a file does not match it, a name is not
    // plain or is one the program keeps for itself, the program's file is not
    // among the files, another instance is updating, or a file cannot be
    // written.
    std::function<void(const std::string& Reason)> OnRefused;
    std::function<void(const std::string& UpgradeMsg, TUpgradeMethod Method, const std::vector<std::string>& Files,
                       bool& CanUpgrade)>
        OnBeginUpgrade;
    std::function<void(bool& RestartImediately)> OnEndUpgrade;
    std::function<void(const std::string& FileName)> OnFileDone;
    // Every end of a check or download, with the text the user was shown.
    std::function<void(TUpdateEnd End, const std::string& Text)> OnFinished;

    // Removes a replacement program left by an earlier update (at every start,
    // once ProgramPath and TempFolder are set).
    void RemoveLeftUpgrader();

    // Starts a check; nothing happens while a check or download is under way,
    // nor once an update has been handed over (the program is ending).
    void BeginCheck();
    // Ends whatever is under way (the fetch, the download, the completed
    // window before its OK) as the user's abort, without asking: the transfer
    // stops, the downloads go, OnAborted. Nothing once the hand-over is done.
    void Cancel();
    bool Busy() const { return state_ != State::Idle || http_.Busy(); }

    static int CompareVersions(const std::string& offered, const std::string& running) {
        return UpdateInfo::CompareVersions(offered, running);
    }
    // What an offer that is older than the running version (or no version) is told with.
    static std::string olderVersionText(const std::string& offered, const std::string& running);
    // The text of the question window: the offered and the running version, then
    // the update's message, between the fixed lines.
    static std::string questionText(const std::string& appTitle, const std::string& message, const std::string& offered,
                                    const std::string& running);
    // A count of bytes as people read it: "512 bytes", "200.0 KiB", "30.7 MiB".
    static std::string byteSizeText(double bytes);
    // Where the replacement program goes: the temporary folder, else the program's folder.
    static std::string upgraderPath(const std::string& tempFolder, const std::string& programFolder);

private:
    enum class State { Idle, FetchInfo, FetchSignature, Downloading, Completed, Aborting, HandedOver };

    void hookTransfer();
    void timedOut(std::chrono::milliseconds bound);
    void abortNow();
    void aborted();
    bool filesMatch(std::string& mismatch) const;
    void infoFetched(const std::string& bytes);
    void signatureFetched(const std::string& bytes);
    void processInfo();
    void startDownload();
    void nextFile();
    void fileDone();
    void fileMissing(int status);
    void wizardCancel();
    void wizardFinish();
    void restart();
    void refuse(const std::string& reason);
    void finish(TUpdateEnd end, const std::string& text);
    void endDownload();
    std::string programFolder() const;

    EventLoop& loop_;
    AutoUpgraderUi& ui_;
    UpdatePublicKey key_;
    TCustomHTTP http_;
    State state_ = State::Idle;
    bool checking_ = false, aborted_ = false, downloadsComplete_ = false, wizardOpen_ = false;
    std::string infoBytes_;
    std::vector<UpdateFile> files_;
    TUpgradeMethod method_ = TUpgradeMethod::SelfUpgrade;
    std::size_t index_ = 0;
    std::string currentName_;
    std::time_t lastModified_ = 0;
    std::unique_ptr<FileLock> lock_;  // from the first download to the update's end; after a hand-over, to ours
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace vantor
