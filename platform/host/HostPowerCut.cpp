// The power cut's record: per file, what was written since its flush, through a descriptor of
// its own (the file may be renamed meanwhile); and the renames, links and deletes not yet on the
// disk, with what a rename replaced or a delete removed, to put back. The file functions call
// it from the one thread that changes the disk.
#include "HostPowerCut.h"

#include <algorithm>
#include <fcntl.h>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "HostAttributes.h"
#include "HostPath.h"

namespace hostfs {

namespace {

typedef std::pair<dev_t, ino_t> Key;

// A file as it was, to be made again where a lost change had removed it.
struct Saved {
    std::string data;
    struct stat st;
    DWORD marks;
};

struct Dirty {
    int fd; // a duplicate, closed when the data is flushed or cut
    std::vector<std::pair<off_t, off_t>> ranges;
};

struct Change {
    enum Kind { Rename, Link, Delete, Create } kind;
    std::string from, to; // a delete's path is from
    Key file;
    std::vector<Key> folders; // not flushed since
    std::unique_ptr<Saved> removed;
};

struct State {
    bool on = false;
    std::map<Key, Dirty> dirty;
    std::vector<Change> changes;
    size_t flushed = 0; // changes before the last flush
};

State& Now() {
    static State state;
    return state;
}

Key KeyOf(const struct stat& st) {
    return {st.st_dev, st.st_ino};
}

std::unique_ptr<Saved> Save(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    auto saved = std::make_unique<Saved>();
    if (fd < 0 || fstat(fd, &saved->st) != 0 || !S_ISREG(saved->st.st_mode)) {
        if (fd >= 0)
            close(fd);
        return nullptr;
    }
    saved->marks = ReadXattrBits(fd);
    char chunk[64 * 1024];
    ssize_t n;
    while ((n = read(fd, chunk, sizeof chunk)) > 0)
        saved->data.append(chunk, static_cast<size_t>(n));
    close(fd);
    return saved;
}

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// A folder that went after a change now lost is made again, with its parent's rights.
void MakeFolder(const std::string& path) {
    struct stat parent;
    if (Exists(path) || path == "/")
        return;
    MakeFolder(ParentOf(path));
    if (mkdir(path.c_str(), 0700) == 0 && stat(ParentOf(path).c_str(), &parent) == 0)
        chmod(path.c_str(), parent.st_mode & 0777);
}

// Makes path again as saved, unless something is there.
void Restore(const std::string& path, const Saved& saved) {
    MakeFolder(ParentOf(path));
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    if (write(fd, saved.data.data(), saved.data.size()) >= 0)
        WriteXattrBits(fd, saved.marks);
    const struct timespec times[2] = {saved.st.st_atim, saved.st.st_mtim};
    futimens(fd, times);
    fchmod(fd, saved.st.st_mode & 07777);
    close(fd);
}

Change& Note(Change::Kind kind, const std::string& from, const std::string& to) {
    State& state = Now();
    state.changes.push_back(Change{kind, from, to, {}, {}, {}});
    Change& change = state.changes.back();
    struct stat st;
    if (lstat(from.c_str(), &st) == 0)
        change.file = KeyOf(st);
    // A link changes the folder of its new name alone.
    for (const std::string* path : {kind == Change::Link ? &to : &from, &to})
        if (!path->empty() && stat(ParentOf(*path).c_str(), &st) == 0 &&
            (change.folders.empty() || change.folders[0] != KeyOf(st)))
            change.folders.push_back(KeyOf(st));
    return change;
}

// The change made before the cut, taken back: a lost delete's file made again, a lost link's
// name removed, a lost rename's file moved back (its folder made again if it went meanwhile)
// and what it replaced made again.
void TakeBack(const Change& change) {
    switch (change.kind) {
    case Change::Delete:
        if (change.removed)
            Restore(change.from, *change.removed);
        break;
    case Change::Link:
        unlink(change.to.c_str());
        break;
    case Change::Create: {
        struct stat st;
        if (lstat(change.from.c_str(), &st) == 0 && KeyOf(st) == change.file)
            S_ISDIR(st.st_mode) ? rmdir(change.from.c_str()) : unlink(change.from.c_str());
        break;
    }
    case Change::Rename:
        if (!Exists(change.to) || Exists(change.from))
            break;
        MakeFolder(ParentOf(change.from));
        rename(change.to.c_str(), change.from.c_str());
        if (change.removed)
            Restore(change.to, *change.removed);
        break;
    }
}

} // namespace

void TrackPowerCut(bool on) {
    State& state = Now();
    for (auto& file : state.dirty)
        close(file.second.fd);
    state.dirty.clear();
    state.changes.clear();
    state.flushed = 0;
    state.on = on;
}

void NoteWritten(int fd, size_t size) {
    if (!Now().on || size == 0)
        return;
    struct stat st;
    const off_t end = lseek(fd, 0, SEEK_CUR);
    if (end < 0 || fstat(fd, &st) != 0)
        return;
    auto found = Now().dirty.find(KeyOf(st));
    if (found == Now().dirty.end())
        found = Now().dirty.emplace(KeyOf(st), Dirty{dup(fd), {}}).first;
    found->second.ranges.emplace_back(end - static_cast<off_t>(size), end);
}

void NoteFlushed(int fd) {
    struct stat st;
    State& state = Now();
    if (!state.on || fstat(fd, &st) != 0)
        return;
    const Key key = KeyOf(st);
    if (const auto found = state.dirty.find(key); found != state.dirty.end()) {
        close(found->second.fd);
        state.dirty.erase(found);
    }
    for (Change& change : state.changes) {
        std::vector<Key>& folders = change.folders;
        if (change.kind != Change::Delete && change.file == key)
            folders.clear();
        else if (S_ISDIR(st.st_mode))
            folders.erase(std::remove(folders.begin(), folders.end(), key), folders.end());
    }
    state.changes.erase(std::remove_if(state.changes.begin(), state.changes.end(),
                                       [](const Change& change) { return change.folders.empty(); }),
                        state.changes.end());
    state.flushed = state.changes.size();
}

void NoteVolumeFlushed() {
    if (Now().on)
        TrackPowerCut(true);
}

void NoteRename(const std::string& from, const std::string& to) {
    if (Now().on)
        Note(Change::Rename, from, to).removed = Save(to);
}

void NoteLink(const std::string& from, const std::string& to) {
    if (Now().on)
        Note(Change::Link, from, to);
}

void NoteDelete(const std::string& path) {
    if (Now().on)
        Note(Change::Delete, path, std::string()).removed = Save(path);
}

void NoteCreate(const std::string& path) {
    if (Now().on)
        Note(Change::Create, path, std::string());
}

void NoteFailed() {
    if (Now().on && !Now().changes.empty())
        Now().changes.pop_back();
}

void CutPower(bool keepEarlier) {
    State& state = Now();
    for (const auto& file : state.dirty) {
        struct stat st;
        if (fstat(file.second.fd, &st) != 0)
            continue;
        for (const auto& range : file.second.ranges) {
            const std::string zeros(static_cast<size_t>(std::max<off_t>(
                                        0, std::min(range.second, st.st_size) - range.first)),
                                    '\0');
            if (pwrite(file.second.fd, zeros.data(), zeros.size(), range.first) < 0)
                break;
        }
    }
    const auto lost = [&](size_t i) {
        return state.changes[i].kind != Change::Delete && (!keepEarlier || i >= state.flushed);
    };
    // A delete stays unless it removed a name that a lost rename or link made.
    for (size_t i = state.changes.size(); i-- > 0;) {
        const Change& change = state.changes[i];
        bool taken = lost(i);
        for (size_t j = 0; j < i && !taken && change.kind == Change::Delete; ++j)
            taken = lost(j) && state.changes[j].to == change.from;
        if (taken)
            TakeBack(change);
    }
    TrackPowerCut(true);
}

} // namespace hostfs
