#include "update/AutoUpgrader.h"

#include "platform/FileOps.h"
#include "platform/ProgramFile.h"
#include "platform/TextFile.h"
#include "update/UpgradeList.h"
#include "update/UpgraderImage.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>
#include <system_error>

namespace vantor {
namespace {

constexpr const char* kConnLostText =
    "Connection with remote server lost.\n\nPlease restore connection and try to\nupgrade this software again later.";
constexpr const char* kAbortQuestion = "The update is not completed.\nWould you like to abort upgrading?";

template <typename... Args>
std::string format(const char* fmt, Args... args) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, fmt, args...);
    return buffer;
}

}  // namespace

TAutoUpgrader::TAutoUpgrader(EventLoop& loop, AutoUpgraderUi& ui, const UpdatePublicKey& key)
    : loop_(loop), ui_(ui), key_(key), http_(loop) {
    StartUpgrader = [this](const std::string& program, const std::vector<std::string>& args, std::string* error) {
        holdProgramFile(ProgramPath);
        return startDetached(program, args, error);
    };
    hookTransfer();
}

void TAutoUpgrader::RemoveLeftUpgrader() {
    deleteFile(upgraderPath(TempFolder, programFolder()));
    if (!programFolder().empty()) deleteFile(programFolder() + kUpgraderFileName);
}

TAutoUpgrader::~TAutoUpgrader() { *alive_ = false; }

std::string TAutoUpgrader::questionText(const std::string& appTitle, const std::string& message) {
    const std::string msg = message.empty() ? message : "\n" + message + "\n";
    return "A newer version of " + appTitle + " was released.\n" + msg + "\nDo you want to update your version with " +
           "the latest one?";
}

std::string TAutoUpgrader::upgraderPath(const std::string& tempFolder, const std::string& programFolder) {
    std::string folder = tempFolder;
    if (folder.empty()) {
        std::error_code ec;
        folder = std::filesystem::temp_directory_path(ec).string();
    }
    if (!folderExists(folder)) folder = programFolder;
    if (folder.empty()) return {};
    return withTrailingSep(folder) + kUpgraderFileName;
}

std::string TAutoUpgrader::programFolder() const {
    const auto slash = ProgramPath.find_last_of(kPathSep);
    return slash == std::string::npos ? std::string() : ProgramPath.substr(0, slash + 1);
}

void TAutoUpgrader::hookTransfer() {
    http_.OnDone = [this](const std::string&, const std::string* data, std::uint64_t) {
        switch (state_) {
            case State::FetchInfo: infoFetched(data ? *data : std::string()); break;
            case State::FetchSignature: signatureFetched(data ? *data : std::string()); break;
            case State::Downloading: fileDone(); break;
            default: break;
        }
    };
    http_.OnHostUnreachable = [this] {
        const std::string url = http_.URL;
        if (state_ == State::Downloading) endDownload();
        state_ = State::Idle;
        if (OnHostUnreachable) OnHostUnreachable(url, splitAddress(url).HostName);
        finish(TUpdateEnd::HostUnreachable, "No internet connection.");
    };
    http_.OnHTTPError = [this](int status, const std::string&) {
        if (state_ == State::FetchInfo) {
            state_ = State::Idle;
            finish(TUpdateEnd::NoInfoFile,
                   "The update information was not found (HTTP " + std::to_string(status) + ").");
        } else if (state_ == State::FetchSignature) {
            refuse(kNotVerifiedText);
        } else if (state_ == State::Downloading) {
            fileMissing(status);
        }
    };
    http_.OnConnLost = [this](const std::string&, std::uint64_t, std::uint64_t) {
        if (state_ == State::Downloading) endDownload();
        state_ = State::Idle;
        if (ShowMessages & mConnLost)
            ui_.messageBox(kUpdateCaption, kConnLostText, UpgradeIcon::Error, UpgradeButtons::Ok);
        finish(TUpdateEnd::ConnLost, "Connection with remote server lost.");
    };
    http_.OnTooLarge = [this](std::uint64_t) {
        if (state_ == State::Downloading)
            refuse("The downloaded file " + currentName_ + " does not match the update information.");
        else
            refuse(kNotVerifiedText);
    };
    http_.OnFileError = [this](const std::string& path, const std::string& error) {
        refuse("The file " + path + " cannot be written: " + error);
    };
    http_.OnStopped = [this] {
        if (state_ != State::Aborting) return;
        UpgradeList::removeDownloads(programFolder());
        state_ = State::Idle;
        if (OnAborted) OnAborted();
        finish(TUpdateEnd::Aborted, "Update aborted.");
    };
}

void TAutoUpgrader::BeginCheck() {
    aborted_ = false;
    if (Busy()) return;
    checking_ = true;
    state_ = State::FetchInfo;
    infoBytes_.clear();
    http_.OnHeaderInfo = nullptr;
    http_.OnProgress = nullptr;
    http_.CacheOptions = CacheOptions | coPragmaNoCache;
    http_.FileName.clear();
    http_.MaxSize = kInfoFileLimit;
    http_.ComputeSha256 = false;
    http_.URL = InfoFileURL;
    http_.Read();
}

void TAutoUpgrader::infoFetched(const std::string& bytes) {
    infoBytes_ = bytes;
    state_ = State::FetchSignature;
    http_.MaxSize = kSignatureLimit;
    http_.URL = InfoFileURL + ".sig";
    http_.Read();
}

void TAutoUpgrader::signatureFetched(const std::string& bytes) {
    if (!verifyUpdateSignature(infoBytes_, bytes, key_)) {
        refuse(kNotVerifiedText);
        return;
    }
    processInfo();
}

void TAutoUpgrader::processInfo() {
    const UpdateInfo info(infoBytes_);
    files_ = info.files();
    if (CompareVersions(info.version(), VersionNumber) != 1 || files_.empty()) {
        state_ = State::Idle;
        checking_ = false;
        if (OnNoUpdateAvailable) OnNoUpdateAvailable();
        finish(TUpdateEnd::NoUpdate, "No update available.");
        return;
    }
    method_ = info.method();
    if (method_ != TUpgradeMethod::umRedirectToURL) {
        // Every file must be described and land under a plain name, once.
        std::set<std::string> names;
        for (const auto& f : files_) {
            if (!f.size || f.sha256.empty()) {
                refuse(kNotVerifiedText);
                return;
            }
            const std::string name = UpdateInfo::fileNameOf(f.url);
            if (!UpdateInfo::isPlainFileName(name) || !names.insert(name).second) {
                refuse("The update names a file that is not allowed: " + name);
                return;
            }
        }
    }
    const std::string message = info.message();
    bool canUpgrade = true;
    std::vector<std::string> urls;
    for (const auto& f : files_) urls.push_back(f.url);
    if (OnBeginUpgrade) OnBeginUpgrade(message, method_, urls, canUpgrade);
    auto alive = alive_;
    const bool yes = canUpgrade && (!(ShowMessages & mAskUpgrade) || ui_.askUpgrade(questionText(AppTitle, message)));
    if (!*alive) return;
    if (!yes) {
        state_ = State::Idle;
        checking_ = false;
        if (OnLaterUpgrade) OnLaterUpgrade();
        finish(TUpdateEnd::Later, "Update aborted.");
        return;
    }
    if (method_ == TUpgradeMethod::umRedirectToURL) {
        state_ = State::Idle;
        checking_ = false;
        if (OpenURL) OpenURL(withScheme(files_.front().url));
        finish(TUpdateEnd::Redirected, "");
        return;
    }
    startDownload();
}

void TAutoUpgrader::startDownload() {
    checking_ = false;
    state_ = State::Downloading;
    downloadsComplete_ = false;
    index_ = 0;
    // Only this update's files are ".uTMP" files of the folder.
    UpgradeList::removeDownloads(programFolder());
    http_.CacheOptions = CacheOptions;
    http_.ComputeSha256 = true;
    http_.OnHeaderInfo = [this](const THTTPHeaderInfo& h, bool&) {
        lastModified_ = h.LastModified;
        if (wizardOpen_) ui_.wizardFileSize(format("File size: %.1f Kb", h.Size / 1024.0));
    };
    http_.OnProgress = [this](const THTTPProgress& p) {
        if (!wizardOpen_) return;
        const int count = static_cast<int>(files_.size());
        const int all =
            static_cast<int>(std::nearbyint(static_cast<double>(index_) * 100.0 / count)) + p.Percent / count;
        const long long left = std::max(0LL, p.Remaining);
        ui_.wizardProgress(format("Transfer rate: %.1f Kb/s", p.Rate),
                           format("Estimated time left: %d:%.2d:%.2d", static_cast<int>(left / 3600),
                                  static_cast<int>(left / 60 % 60), static_cast<int>(left % 60)),
                           p.Percent, all);
    };
    if (Wizard.Enabled) {
        WizardOptions options;
        options.HideFileLocation = Wizard.HideFileLocation;
        options.StayOnTop = Wizard.StayOnTop;
        options.AppTitle = AppTitle;
        options.onCancel = [this] { wizardCancel(); };
        options.onFinish = [this] { wizardFinish(); };
        wizardOpen_ = true;
        ui_.wizardShow(options);
    }
    nextFile();
}

void TAutoUpgrader::nextFile() {
    if (state_ != State::Downloading) return;
    if (index_ >= files_.size()) {
        state_ = State::Completed;
        if (wizardOpen_)
            ui_.wizardCompleted("The update of " + AppTitle + " has been successfully completed.\n\nPress the OK " +
                                "button to restart program.");
        else
            wizardFinish();
        return;
    }
    const UpdateFile& f = files_[index_];
    currentName_ = UpdateInfo::fileNameOf(f.url);
    lastModified_ = 0;
    if (wizardOpen_)
        ui_.wizardFile(static_cast<int>(index_) + 1, static_cast<int>(files_.size()),
                       format("Downloading %d of %d", static_cast<int>(index_) + 1, static_cast<int>(files_.size())),
                       f.url);
    http_.URL = f.url;
    http_.FileName = programFolder() + currentName_ + kDownloadSuffix;
    http_.HiddenTemporary = true;
    http_.MaxSize = *f.size;
    http_.Read();
}

void TAutoUpgrader::fileDone() {
    const UpdateFile& f = files_[index_];
    const std::string path = programFolder() + currentName_ + kDownloadSuffix;
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || size != *f.size || http_.Sha256() != f.sha256) {
        refuse("The downloaded file " + currentName_ + " does not match the update information.");
        return;
    }
    if (lastModified_) setFileModifiedTime(path, lastModified_);
    if (OnFileDone) OnFileDone(currentName_);
    ++index_;
    nextFile();
}

void TAutoUpgrader::fileMissing(int status) {
    bool skip = false;
    if (ShowMessages & mLostFile) {
        auto alive = alive_;
        skip = ui_.messageBox(
            "Error #" + std::to_string(status),
            "File " + currentName_ + " not found or inaccessible.\n\nTry to skip this file and " + "continue upgrade?",
            UpgradeIcon::Warning, UpgradeButtons::YesNo);
        if (!*alive || state_ != State::Downloading) return;
    }
    if (skip) {
        ++index_;
        nextFile();
        return;
    }
    aborted_ = true;
    endDownload();
    state_ = State::Idle;
    if (OnAborted) OnAborted();
    finish(TUpdateEnd::Aborted, "Update aborted.");
}

void TAutoUpgrader::wizardCancel() {
    if (state_ != State::Downloading && state_ != State::Completed) return;
    auto alive = alive_;
    const bool yes = ui_.messageBox(AppTitle, kAbortQuestion, UpgradeIcon::Question, UpgradeButtons::YesNo);
    if (!*alive || !yes || (state_ != State::Downloading && state_ != State::Completed)) return;
    aborted_ = true;
    if (wizardOpen_) {
        wizardOpen_ = false;
        ui_.wizardClose();
    }
    if (http_.Busy()) {
        // The files go once the transfer has let go of its own.
        state_ = State::Aborting;
        http_.Abort();
        return;
    }
    UpgradeList::removeDownloads(programFolder());
    state_ = State::Idle;
    if (OnAborted) OnAborted();
    finish(TUpdateEnd::Aborted, "Update aborted.");
}

void TAutoUpgrader::wizardFinish() {
    if (state_ != State::Completed) return;
    if (wizardOpen_) {
        wizardOpen_ = false;
        ui_.wizardClose();
    }
    if (aborted_) return;
    downloadsComplete_ = true;
    bool restartNow = true;
    if (OnEndUpgrade) OnEndUpgrade(restartNow);
    state_ = State::Idle;
    if (restartNow) restart();
}

void TAutoUpgrader::restart() {
    const std::string folder = programFolder();
    if (!downloadsComplete_) UpgradeList::removeDownloads(folder);
    const std::string programName = fileNamePart(ProgramPath);
    const UpgradePlan plan = UpgradeList::plan(folder, programName, method_ == TUpgradeMethod::umUseExternalSetup);
    const std::string upgrader = upgraderPath(TempFolder, folder);
    const std::string_view image = upgraderImage();
    auto fail = [&](const std::string& what) {
        UpgradeList::removeDownloads(folder);
        refuse(what);
    };
    if (!UpgradeList::write(folder, plan)) return fail("The update cannot be written to " + folder);
    IoResult written = writeFileAtomic(upgrader, image);
    if (!written || !makeExecutable(upgrader))
        return fail("The replacement program cannot be written to " + upgrader + ": " + written.error);
    std::string error;
    const std::string digit = method_ == TUpgradeMethod::umUseExternalSetup ? "1" : "0";
    if (!StartUpgrader || !StartUpgrader(upgrader, {ProgramPath, "+" + RestartParams + digit}, &error))
        return fail("The replacement program cannot be started: " + error);
    finish(TUpdateEnd::Restarting, "");
    if (CloseApplication) CloseApplication();
}

void TAutoUpgrader::endDownload() {
    if (wizardOpen_) {
        wizardOpen_ = false;
        ui_.wizardClose();
    }
    // An update that does not complete leaves nothing of itself behind.
    UpgradeList::removeDownloads(programFolder());
}

void TAutoUpgrader::refuse(const std::string& reason) {
    if (state_ == State::Downloading || state_ == State::Completed) endDownload();
    state_ = State::Idle;
    checking_ = false;
    if (OnRefused) OnRefused(reason);
    finish(TUpdateEnd::Refused, reason);
}

void TAutoUpgrader::finish(TUpdateEnd end, const std::string& text) {
    checking_ = false;
    if (OnFinished) OnFinished(end, text);
}

}  // namespace vantor
