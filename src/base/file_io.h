#pragma once
// Whole-file reads and one-shot appends and writes; paths are UTF-8. No handle
// is kept between calls.
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// fopen with a UTF-8 path (the UTF-16 one on Windows, so any folder name works); closed with fclose.
std::FILE* OpenCFile(const std::string& path, const char* mode);
std::optional<std::string> ReadWholeFile(const std::string& path);
bool AppendToFile(const std::string& path, std::string_view bytes);
bool WriteWholeFile(const std::string& path, std::string_view bytes);
// Creates or truncates the file and writes the parts one after the other.
bool WriteParts(const std::string& path, std::initializer_list<std::string_view> parts);
// The steps of a durable replacement, one at a time, so that their order can
// be checked with a fake.
class FileSteps {
public:
    virtual ~FileSteps() = default;
    virtual bool Write(const std::string& path, std::initializer_list<std::string_view> parts) = 0;
    // The file's contents on the disk, not only in the system's cache.
    virtual bool Flush(const std::string& path) = 0;
    // Moves `from` over `to`, the move itself on the disk when it returns where the platform does that.
    virtual bool Replace(const std::string& from, const std::string& to) = 0;
    // The folder's entries on the disk, where the platform needs it done apart (POSIX).
    virtual bool FlushFolderOf(const std::string& path) = 0;
    virtual void Discard(const std::string& path) = 0;  // a file left half-made
};

// The file system's own steps.
FileSteps& SystemFileSteps();

// Writes the parts to a sibling file, puts its contents on the disk and only
// then puts it in place of `path` in one step: a reader sees either the old
// file or the whole new one, and a power cut right after it returns loses
// neither. True once all of it is durable.
bool ReplaceFileWith(const std::string& path, std::initializer_list<std::string_view> parts,
                     FileSteps& steps = SystemFileSteps());

// A file written a little at a time, each write on the disk before it returns
// (a power cut loses at most the write under way). While it is open no other
// program may rename, delete or take it over (ReadUnlessHeld refuses it). Its
// own appends open it anew each time, so writing is shared: no handle is kept
// open for writing between them.
class DurableFile {
public:
    // Creates `path` anew holding `first`; nothing when it cannot be written.
    static std::unique_ptr<DurableFile> Create(const std::string& path, std::string_view first);
    virtual ~DurableFile() = default;
    virtual bool Append(std::string_view bytes) = 0;
    // Why the last append failed, as the system says it.
    virtual std::string Failure() const = 0;
};

// The whole file, unless a DurableFile of another program (or of this one) holds it.
std::optional<std::string> ReadUnlessHeld(const std::string& path);
// The files of `folder` (ending in a separator) whose names end in `suffix`, as full paths.
std::vector<std::string> ListFiles(const std::string& folder, std::string_view suffix);
bool FileExists(const std::string& path);
bool RemoveFile(const std::string& path);
// Moves `from` to `to`, never over a file that is there.
bool RenameFile(const std::string& from, const std::string& to);
// Creates the folder (one level) unless it is there; true when it is there afterwards.
bool MakeFolder(const std::string& path);

}  // namespace qv
