#include "extractor.h"

#include "entry_names.h"
#include "name_decoder.h"
#include "threads.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <set>
#include <system_error>
#include <unordered_map>
#include <vector>

namespace archive {
namespace {

// A second thread decodes a run beside the main one only when its windows fit in this, so
// that peak memory stays the largest window plus this.
constexpr std::uint64_t kSideMemory = 64u << 20;
// How often the main thread, waiting for a file of the side's, tells the caller how it grows.
constexpr std::chrono::milliseconds kSidePause{100};

Status writeError(const std::string &what) {
    return {ErrorCode::WriteError, what};
}

// Keeps the separator of a root ("/", "C:\") since it is part of that folder's name.
std::string trimSeparators(std::string path) {
    while (path.size() > 1 && isSeparator(path.back()) && path[path.size() - 2] != ':')
        path.pop_back();
    return path;
}

std::string parentOf(const std::string &path) {
    const std::size_t pos = path.find_last_of("/\\");
    if (pos == std::string::npos)
        return {};
    if (pos == 0 || path[pos - 1] == ':')
        return path.substr(0, pos + 1);
    return path.substr(0, pos);
}

std::string join(const std::string &root, const std::vector<std::string> &components,
                 char separator) {
    std::string path = root;
    for (const std::string &component : components) {
        if (!path.empty() && !isSeparator(path.back()))
            path += separator;
        path += component;
    }
    return path;
}

Status linkRefused(const std::string &path) {
    return writeError("'" + path + "' is a link; nothing is written through it");
}

// Where an entry lands, whether a file is already there to be replaced, and whether a
// later entry for the same file makes it moot.
struct Plan {
    std::string target;
    bool replace = false;
    bool superseded = false;
};

// A file or folder of the archive, under the spelling its first entry gave it.
struct PlannedName {
    std::string path;
    bool folder;
    std::size_t entry;
};

// A file the side thread wrote, or why it could not, waiting to be counted in order.
struct SideFile {
    bool done = false;
    Status status;
    std::unique_ptr<OutputFile> file;
};

enum class Owner { None, Main, Side };

class Extraction {
public:
    Extraction(FileSystem &fs, const ProgressHandler &handler, ExtractSummary &summary)
        : fs_(fs), handler_(handler), summary_(summary) {}
    Extraction(const Extraction &) = delete;
    Extraction &operator=(const Extraction &) = delete;
    ~Extraction() { stopSide(); }

    Status run(ByteSource &source, const ExtractOptions &options) {
        reader_ = readerFor(source);
        Status status = reader_->open(source);
        if (!status)
            return status;
        root_ = trimSeparators(options.destination.empty() ? "." : options.destination);
        status = plan(options.overwrite);
        if (!status)
            return status;
        startSide();
        status = extractAll();
        stopSide();
        if (!status)
            removeSideLeftovers();
        return status;
    }

private:
    Status extractAll() {
        Status status;
        const std::vector<ArchiveEntry> &entries = reader_->entries();
        progress_.count = entries.size();
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const ArchiveEntry &entry = entries[i];
            if (plans_[i].superseded)
                continue;
            progress_.index = i;
            progress_.name = entry.name;
            progress_.folder = entry.isDirectory;
            progress_.entrySize = entry.size;
            progress_.entryDone = 0;
            status = report(Progress::Stage::EntryStart);
            if (status && entry.isDirectory)
                status = makeFolders(plans_[i].target);
            else if (status)
                status = takeRun(i) == Owner::Side ? commitSide(i) : extractFile(i);
            if (status)
                status = report(Progress::Stage::EntryDone);
            if (!status)
                return status;
            if (entry.isDirectory) {
                ++summary_.folders;
            } else {
                ++summary_.files;
                summary_.bytes += entry.size;
            }
        }
        return {};
    }

    // Every final name and every folder on the way is checked against the other entries
    // (by Windows' rules of letter case) and against the disk up front, so a conflict late
    // in the archive cannot leave a half-extracted tree.
    Status plan(bool overwrite) {
        const std::vector<ArchiveEntry> &entries = reader_->entries();
        plans_.resize(entries.size());
        std::unordered_map<std::string, PlannedName> names;
        std::vector<std::string> components;
        kindOf(root_);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const ArchiveEntry &entry = entries[i];
            Status status = entryComponents(entry.name, entry.isDirectory, fs_, components);
            if (!status)
                return status;
            std::string key;
            std::string path = root_;
            for (std::size_t k = 0; k < components.size(); ++k) {
                const bool folder = entry.isDirectory || k + 1 < components.size();
                key += foldCase(components[k]) + '/';
                const auto [it, added] = names.try_emplace(
                    key, PlannedName{join(path, {components[k]}, fs_.separator()), folder, i});
                PlannedName &name = it->second;
                path = name.path;
                if (added)
                    status = checkExisting(path, folder, overwrite, plans_[i]);
                else if (name.folder != folder)
                    status =
                        writeError("'" + path + "' is both a file and a folder in the archive");
                else if (!folder && !overwrite)
                    status = {ErrorCode::FileExists, "'" + path + "' is in the archive twice"};
                else if (!folder)
                    supersede(name, i);
                if (!status)
                    return status;
            }
            plans_[i].target = std::move(path);
            progress_.totalSize += entry.size;
        }
        return makeFolders(root_);
    }

    Status checkExisting(const std::string &path, bool folder, bool overwrite, Plan &plan) {
        const PathKind kind = kindOf(path);
        if (kind == PathKind::Link)
            return linkRefused(path);
        if (folder && kind != PathKind::Missing && kind != PathKind::Directory)
            return writeError("'" + path + "' exists and is not a folder");
        if (!folder && kind == PathKind::Directory)
            return writeError("'" + path + "' is a folder");
        if (!folder && kind != PathKind::Missing && !overwrite)
            return {ErrorCode::FileExists, "'" + path + "' already exists"};
        plan.replace = !folder && kind != PathKind::Missing;
        return {};
    }

    // The later of two entries for one file wins, as if it had replaced the earlier.
    void supersede(PlannedName &name, std::size_t later) {
        plans_[name.entry].superseded = true;
        plans_[later].replace = plans_[name.entry].replace;
        progress_.totalSize -= reader_->entries()[name.entry].size;
        name.entry = later;
    }

    // Nothing is below a missing folder, so a fresh destination costs no lookups at all.
    PathKind kindOf(const std::string &path) {
        const auto known = kinds_.find(path);
        if (known != kinds_.end())
            return known->second;
        const auto parent = kinds_.find(parentOf(path));
        const bool inMissing = parent != kinds_.end() && parent->second == PathKind::Missing;
        return kinds_[path] = inMissing ? PathKind::Missing : fs_.kind(path);
    }

    // Below the root nothing is followed: a link there could point anywhere. The root and
    // the folders above it are the caller's choice.
    Status makeFolders(const std::string &path, bool side = false) {
        std::lock_guard<Mutex> lock(mutex_);
        if (!side)
            reached(path);
        std::vector<std::string> missing;
        for (std::string current = path; !current.empty();) {
            const PathKind kind = kindOf(current);
            const bool belowRoot = current.size() > root_.size();
            if (kind == PathKind::Directory || (kind == PathKind::Link && !belowRoot))
                break;
            if (kind == PathKind::Link)
                return linkRefused(current);
            if (kind != PathKind::Missing)
                return writeError("'" + current + "' exists and is not a folder");
            missing.push_back(current);
            std::string parent = parentOf(current);
            if (parent == current)
                break;
            current = std::move(parent);
        }
        for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
            if (!fs_.makeDirectory(*it) && fs_.kind(*it) != PathKind::Directory)
                return writeError("cannot create folder '" + *it + "'");
            kinds_[*it] = PathKind::Directory;
            if (side)
                sideFolders_.insert(*it);
        }
        return {};
    }

    // The main thread has come to path: the side's folders on its way are no longer early.
    void reached(std::string path) {
        while (!sideFolders_.empty() && path.size() > root_.size()) {
            sideFolders_.erase(path);
            path = parentOf(path);
        }
    }

    // Under the lock, as the file systems of the tests note the file in a shared table.
    bool commit(OutputFile &file) {
        std::lock_guard<Mutex> lock(mutex_);
        return file.commit();
    }

    Status extractFile(std::size_t index) {
        const std::string &target = plans_[index].target;
        Status status = makeFolders(parentOf(target));
        if (!status)
            return status;
        std::unique_ptr<OutputFile> out = fs_.create(target, plans_[index].replace);
        if (!out)
            return writeError("cannot create '" + target + "'");
        status = reader_->extract(index, [&](const std::uint8_t *data, std::size_t size) {
            if (!out->write(data, size))
                return writeError("cannot write '" + target + "'");
            progress_.entryDone += size;
            progress_.totalDone += size;
            return report(Progress::Stage::EntryData);
        });
        if (!status)
            return status;
        return commit(*out) ? Status{} : writeError("cannot write '" + target + "'");
    }

    // Where another run (a 7z folder) holds a file, a second thread writes that run's files
    // while this one writes the current run's, taking runs from the back so that the two
    // meet in the middle. Its files count, in order, only when this thread commits them;
    // until then a failure removes them, and the folders made for them alone.
    void startSide() {
        runs_ = reader_->runs();
        if (runs_.size() < 2 || Thread::hardware_concurrency() < 2)
            return;
        owners_.assign(runs_.size(), Owner::None);
        sideFiles_.resize(reader_->entries().size());
        sideReader_ = reader_->fork();
        try {
            side_ = Thread(&Extraction::runSide, this);
        } catch (const std::system_error &) {
            sideReader_.reset();
        }
    }

    void stopSide() {
        stopping_ = true;
        if (side_.joinable())
            side_.join();
    }

    void removeSideLeftovers() {
        sideFiles_.clear();
        // Longer paths first, so that inner folders go before the folders holding them.
        std::vector<std::string> folders(sideFolders_.begin(), sideFolders_.end());
        std::sort(folders.begin(), folders.end(),
                  [](const std::string &a, const std::string &b) { return a.size() > b.size(); });
        for (const std::string &folder : folders)
            fs_.removeDirectory(folder);
    }

    std::size_t runOf(std::size_t entry) const {
        const auto after = std::upper_bound(
            runs_.begin(), runs_.end(), entry,
            [](std::size_t index, const EntryRun &run) { return index < run.begin; });
        return static_cast<std::size_t>(after - runs_.begin()) - 1;
    }

    // Which thread writes the file of entry: the main thread takes a run nobody has begun.
    Owner takeRun(std::size_t entry) {
        if (!sideReader_)
            return Owner::Main;
        std::lock_guard<Mutex> lock(mutex_);
        Owner &owner = owners_[runOf(entry)];
        if (owner == Owner::None)
            owner = Owner::Main;
        mainRun_ = runOf(entry);
        return owner;
    }

    void runSide() {
        for (;;) {
            std::size_t run = 0;
            {
                std::lock_guard<Mutex> lock(mutex_);
                for (std::size_t k = runs_.size(); k-- > mainRun_ + 1 && run == 0;)
                    if (owners_[k] == Owner::None && runs_[k].memory <= kSideMemory)
                        run = k;
                if (run == 0 || stopping_)
                    return;
                owners_[run] = Owner::Side;
            }
            const std::size_t end =
                run + 1 < runs_.size() ? runs_[run + 1].begin : reader_->entries().size();
            for (std::size_t i = runs_[run].begin; i < end; ++i) {
                if (reader_->entries()[i].isDirectory || plans_[i].superseded)
                    continue;
                SideFile result;
                try {
                    result.status = writeSide(i, result.file);
                } catch (const std::exception &error) {
                    result.status = {ErrorCode::Internal, error.what()};
                }
                const bool failed = !result.status;
                result.done = true;
                {
                    std::lock_guard<Mutex> lock(mutex_);
                    sideFiles_[i] = std::move(result);
                }
                sideDone_.notify_all();
                if (failed)
                    return;
            }
        }
    }

    Status writeSide(std::size_t index, std::unique_ptr<OutputFile> &out) {
        const std::string &target = plans_[index].target;
        Status status = makeFolders(parentOf(target), true);
        if (!status)
            return status;
        out = fs_.create(target, plans_[index].replace);
        if (!out)
            return writeError("cannot create '" + target + "'");
        sideWritten_ = 0;
        sideEntry_ = index;
        status = sideReader_->extract(index, [&](const std::uint8_t *data, std::size_t size) {
            if (stopping_)
                return Status{ErrorCode::Cancelled, "cancelled by the caller"};
            if (!out->write(data, size))
                return writeError("cannot write '" + target + "'");
            sideWritten_ += size;
            return Status{};
        });
        if (status && !out->close())
            return writeError("cannot write '" + target + "'");
        return status;
    }

    // Waiting for the side, the caller still hears how the file grows, and can cancel.
    Status commitSide(std::size_t index) {
        SideFile result;
        for (bool done = false; !done;) {
            std::uint64_t written = 0;
            {
                std::unique_lock<Mutex> lock(mutex_);
                done = sideDone_.wait_for(lock, kSidePause, [&] { return sideFiles_[index].done; });
                if (done) {
                    result = std::move(sideFiles_[index]);
                    reached(parentOf(plans_[index].target));
                }
                written = done                  ? progress_.entrySize
                          : sideEntry_ == index ? sideWritten_.load()
                                                : 0;
            }
            if (!result.status)
                return result.status;
            if (written > progress_.entryDone) {
                progress_.totalDone += written - progress_.entryDone;
                progress_.entryDone = written;
                Status status = report(Progress::Stage::EntryData);
                if (!status)
                    return status;
            }
        }
        const std::string &target = plans_[index].target;
        return commit(*result.file) ? Status{} : writeError("cannot write '" + target + "'");
    }

    Status report(Progress::Stage stage) {
        progress_.stage = stage;
        if (handler_ && !handler_(progress_))
            return {ErrorCode::Cancelled, "cancelled by the caller"};
        return {};
    }

    FileSystem &fs_;
    const ProgressHandler &handler_;
    ExtractSummary &summary_;
    std::unique_ptr<ArchiveReader> reader_;
    std::string root_;
    std::vector<Plan> plans_;
    // What each path looked up or made is, so nothing is looked up twice.
    std::unordered_map<std::string, PathKind> kinds_;
    Progress progress_{Progress::Stage::EntryStart, 0, 0, {}, false, 0, 0, 0, 0};
    // The side thread's share; mutex_ guards the owners, the files, the folders and kinds_.
    std::vector<EntryRun> runs_;
    std::unique_ptr<ArchiveReader> sideReader_;
    Mutex mutex_;
    Condition sideDone_;
    std::vector<Owner> owners_;
    std::size_t mainRun_ = 0;
    std::vector<SideFile> sideFiles_;
    std::set<std::string> sideFolders_;     // made for the side's files before the main got there
    std::atomic<std::size_t> sideEntry_{0}; // the file the side is writing
    std::atomic<std::uint64_t> sideWritten_{0}; // and how much of it
    std::atomic<bool> stopping_{false};
    Thread side_; // last: joined before the rest goes
};

} // namespace

Status extractArchive(ByteSource &source, FileSystem &fs, const ExtractOptions &options,
                      const ProgressHandler &progress, ExtractSummary &summary) {
    summary = {};
    return Extraction(fs, progress, summary).run(source, options);
}

std::string describe(const Status &status, const ExtractSummary &summary) {
    if (!status)
        return "Error " + std::to_string(static_cast<int>(status.code)) + ": " + status.message;
    return "Extracted " + std::to_string(summary.files) + " files and " +
           std::to_string(summary.folders) + " folders (" + std::to_string(summary.bytes) +
           " bytes).";
}

} // namespace archive
