// A power cut, for tests: the disk as it may be found after the power failed, from what was
// flushed. Off unless a test turns it on; the file functions report to it what they change.
//
// What is lost:
// - data written to a file since its last flush (FlushFileBuffers on it, or the volume's) reads
//   back as zeros; its size and its name stay, as NTFS journals them;
// - a rename or hard link is lost, latest first, unless the volume, or every folder it changed,
//   or the file it names was flushed after it (NTFS keeps a file's names in its own record);
// - so is a delete of a name that such a lost change made. Any other delete stays, flushed or
//   not: a disk may write one folder before another, so the old names may go while the new ones
//   never came;
// - or, cut with keepEarlier, only the renames and links since the last flush of anything are
//   lost: a disk may have written the folders of the earlier ones by then.
// - a new file or folder is lost as a rename is, unless the volume, its folder or it itself was
//   flushed after it was made (a folder only where it is empty again by then).
// Marks and times stay.
#pragma once

#include <string>
#include <sys/types.h>

namespace hostfs {

// From now on what is changed and flushed is recorded (on), or nothing any more (off).
void TrackPowerCut(bool on);
// Puts the disk as a power cut now would leave it; recording goes on from there.
void CutPower(bool keepEarlier = false);

// Called by the file functions while recording: after data was written through fd (size bytes
// up to its position), after a flush of the file or folder open as fd, after the volume's.
void NoteWritten(int fd, size_t size);
void NoteFlushed(int fd);
void NoteVolumeFlushed();
// Called before the change: from renamed to to (replacing what is there), to made a second name
// of from, path deleted.
void NoteRename(const std::string& from, const std::string& to);
void NoteLink(const std::string& from, const std::string& to);
void NoteDelete(const std::string& path);
// Called after path was made, a file or a folder.
void NoteCreate(const std::string& path);
// The change just noted was not made after all.
void NoteFailed();

} // namespace hostfs
