// The publisher's two jobs. Every manifest it reads or writes goes through
// the launcher's parser, and a version is complete on the server before the
// manifest names it, so that a launcher fetching during a publish sees the
// old manifest or the new one, each with all its files.
#include "publish/publisher.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "config/text_file.h"

namespace fs = std::filesystem;

namespace {

const char kManifestName[] = "patch.ini";
const char kInstalledVersionFile[] = "System.ini";
// The worker downloads to the local path with ".part" added, and Windows
// takes paths of up to 259 characters.
const size_t kMaxLocalPath = 259 - 5;
const size_t kMaxExtension = sizeof(FileEntry::extension) - 1;
// Older than any version a manifest can name, so a parse keeps them all.
const Version kBeforeEverything = {{INT16_MIN, INT16_MIN, INT16_MIN, INT16_MIN}};

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char text[1024];
  va_list arguments;
  va_start(arguments, format);
  vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  return text;
}

std::string VersionText(const Version& v) {
  return Format("%d.%d.%d.%d", v.numbers[0], v.numbers[1], v.numbers[2], v.numbers[3]);
}

bool SameVersion(const Version& a, const Version& b) { return !IsNewer(a, b) && !IsNewer(b, a); }

// The launcher's tables, on the heap: they take megabytes.
struct Tables {
  int16_t versionCount = 0;
  std::atomic<int16_t> filesTotal{0};
  std::unique_ptr<VersionRecord[]> records{new VersionRecord[kMaxVersions]()};

  ManifestParse Parse(const std::vector<char>& text, const Version& installed) {
    return ParseManifestText(text.data(), installed, {versionCount, filesTotal, records.get()});
  }
};

// patch.ini as the launcher reads it (text mode) into text; "" or a problem.
// A missing manifest reads as an empty one when missingIsEmpty.
std::string ReadManifest(const fs::path& path, bool missingIsEmpty, std::vector<char>* text) {
  std::error_code error;
  if (!fs::exists(path, error) && missingIsEmpty) {
    text->assign(1, '\0');
    return "";
  }
  switch (ReadTextFile(path.c_str(), kMaxManifestSize, text)) {
    case TextFileResult::kRead: return "";
    case TextFileResult::kCannotOpen: return path.string() + ": cannot be read";
    case TextFileResult::kTooLarge:
      return Format("%s: larger than the %lu bytes the launcher reads", path.c_str(),
                    kMaxManifestSize);
  }
  return "";
}

// Why a byte cannot stand in a manifest field that becomes a Windows path,
// or "" when it can. The space has rules of its own.
std::string ByteProblem(unsigned char c) {
  if (c < 0x20 || c == 0x7F) return Format("the control byte 0x%02X", c);
  if (c >= 0x80) {
    return Format("the byte 0x%02X, which is not plain ASCII: Windows would read it in the "
                  "player's code page", c);
  }
  if (c == '=' || c == ',') return Format("'%c', which separates the fields of patch.ini", c);
  if (strchr("<>:\"/\\|?*", c) != nullptr) {
    return Format("'%c', which Windows does not allow in a file name", c);
  }
  return "";
}

bool BeginsWithPatch(const std::string& token) { return token.compare(0, 5, "patch") == 0; }

bool SameNameCaseAside(const char* a, const char* b) { return strcasecmp(a, b) == 0; }

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t begin = 0;
  for (size_t end; (end = text.find(separator, begin)) != std::string::npos; begin = end + 1) {
    parts.push_back(text.substr(begin, end - begin));
  }
  parts.push_back(text.substr(begin));
  return parts;
}

// Every file of a build, as sorted paths relative to it with '/'.
std::string CollectFiles(const fs::path& root, std::vector<std::string>* files) {
  std::error_code error;
  fs::recursive_directory_iterator it(root, error), end;
  for (; !error && it != end; it.increment(error)) {
    std::string relative = it->path().lexically_relative(root).generic_string();
    fs::file_status status = it->status(error);
    if (error) return relative + ": " + error.message();
    if (fs::is_directory(status)) {
      if (it->is_symlink()) {
        return relative + ": a symbolic link to a folder; publish the folder itself";
      }
      continue;
    }
    if (!fs::is_regular_file(status)) return relative + ": not a regular file";
    files->push_back(relative);
  }
  if (error) return root.string() + ": " + error.message();
  std::sort(files->begin(), files->end());
  return "";
}

bool SameBytes(const fs::path& a, const fs::path& b) {
  std::error_code error;
  if (!fs::is_regular_file(b, error) || fs::file_size(a, error) != fs::file_size(b, error)) {
    return false;
  }
  std::ifstream first(a, std::ios::binary), second(b, std::ios::binary);
  std::vector<char> x(1 << 16), y(1 << 16);
  while (first && second) {
    first.read(x.data(), static_cast<std::streamsize>(x.size()));
    second.read(y.data(), static_cast<std::streamsize>(y.size()));
    if (first.gcount() != second.gcount() ||
        memcmp(x.data(), y.data(), static_cast<size_t>(first.gcount())) != 0) {
      return false;
    }
  }
  return !first.bad() && !second.bad() && first.eof() && second.eof();
}

std::string Errno(const std::string& what) { return what + ": " + strerror(errno); }

bool WriteAll(int fd, const char* bytes, size_t size) {
  while (size > 0) {
    ssize_t written = write(fd, bytes, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

// Writes a new file that the web server may read, and makes it durable
// before anyone can see it by name.
class NewFile {
 public:
  explicit NewFile(const fs::path& path) : path_(path) {
    fd_ = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd_ < 0) error_ = Errno(path.string());
  }
  ~NewFile() {
    if (fd_ >= 0) close(fd_);
  }
  bool Write(const char* bytes, size_t size) {
    if (error_.empty() && !WriteAll(fd_, bytes, size)) error_ = Errno(path_.string());
    return error_.empty();
  }
  // "" once the bytes are on disk.
  std::string Finish() {
    if (error_.empty() && (fchmod(fd_, 0644) != 0 || fsync(fd_) != 0)) {
      error_ = Errno(path_.string());
    }
    if (fd_ >= 0 && close(fd_) != 0 && error_.empty()) error_ = Errno(path_.string());
    fd_ = -1;
    return error_;
  }

 private:
  fs::path path_;
  int fd_ = -1;
  std::string error_;
};

std::string CopyFile(const fs::path& from, const fs::path& to) {
  int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return Errno(from.string());
  NewFile out(to);
  std::vector<char> buffer(1 << 20);
  std::string error;
  for (;;) {
    ssize_t got = read(in, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) error = Errno(from.string());
    if (got <= 0) break;
    if (!out.Write(buffer.data(), static_cast<size_t>(got))) break;
  }
  close(in);
  std::string finished = out.Finish();
  return error.empty() ? finished : error;
}

std::string SyncFolder(const fs::path& folder) {
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return Errno(folder.string());
  int result = fsync(fd);
  int saved = errno;
  close(fd);
  errno = saved;
  return result == 0 ? "" : Errno(folder.string());
}

// Holds an exclusive lock on the server folder itself, so that two
// publishers cannot both append to the manifest they read.
class FolderLock {
 public:
  explicit FolderLock(const fs::path& folder) {
    fd_ = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) {
      error_ = Errno(folder.string());
    } else if (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      error_ = errno == EWOULDBLOCK
                   ? folder.string() + ": another orvanel-publish is publishing there"
                   : Errno(folder.string());
    }
  }
  ~FolderLock() {
    if (fd_ >= 0) close(fd_);
  }
  const std::string& error() const { return error_; }

 private:
  int fd_ = -1;
  std::string error_;
};

struct PlannedFile {
  std::string relative;
  FileEntry entry;
  uintmax_t size;
};

std::string FileBlock(const FileEntry& entry) {
  return Format("file = %s, %s, %d, %s", entry.name, entry.extension, entry.spaceFlag,
                entry.directory[0] == '\0' ? kRootFolder : entry.directory);
}

bool SameEntry(const FileEntry& a, const FileEntry& b) {
  return strcmp(a.name, b.name) == 0 && strcmp(a.extension, b.extension) == 0 &&
         strcmp(a.directory, b.directory) == 0 && a.spaceFlag == b.spaceFlag;
}

// "" when a launcher at each published version, and one before them all,
// reads the manifest completely and keeps exactly the versions after its
// own: this is what makes every client reach the newest version.
std::string EveryClientReads(const std::vector<char>& text, const std::vector<Version>& versions) {
  for (size_t i = 0; i <= versions.size(); ++i) {
    const Version installed = i == 0 ? kBeforeEverything : versions[i - 1];
    Tables tables;
    ManifestParse parse = tables.Parse(text, installed);
    std::string who = i == 0 ? std::string("a new installation")
                             : "a launcher at " + VersionText(installed);
    if (!parse.complete) {
      return Format("%s cannot read patch.ini: format error (%d)(%d)", who.c_str(),
                    parse.parseState, parse.fieldIndex);
    }
    bool same = static_cast<size_t>(tables.versionCount) == versions.size() - i;
    for (size_t k = 0; same && k < versions.size() - i; ++k) {
      same = SameVersion(tables.records[k].version, versions[i + k]);
    }
    if (!same) {
      return Format("%s would keep %d versions of patch.ini instead of the %zu after its own",
                    who.c_str(), tables.versionCount, versions.size() - i);
    }
  }
  return "";
}

std::vector<Version> VersionsOf(const Tables& tables) {
  std::vector<Version> versions;
  for (int i = 0; i < tables.versionCount; ++i) versions.push_back(tables.records[i].version);
  return versions;
}

}  // namespace

bool ParseVersionText(const std::string& text, Version* version) {
  std::vector<std::string> parts = Split(text, '.');
  if (parts.size() != 4) return false;
  for (int i = 0; i < 4; ++i) {
    const std::string& part = parts[static_cast<size_t>(i)];
    if (part.empty() || part.size() > 5 ||
        part.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    long value = strtol(part.c_str(), nullptr, 10);
    if (value > INT16_MAX) return false;
    version->numbers[i] = static_cast<int16_t>(value);
  }
  return true;
}

std::string EncodeBuildPath(const std::string& relative, FileEntry* entry) {
  auto refuse = [&relative](const std::string& why) { return relative + ": " + why; };
  std::vector<std::string> folders = Split(relative, '/');
  const std::string file = folders.back();
  folders.pop_back();

  for (const std::string& part : Split(relative, '/')) {
    for (unsigned char c : part) {
      std::string problem = ByteProblem(c);
      if (!problem.empty()) return refuse("its path has " + problem);
    }
  }
  std::string directory;
  for (const std::string& folder : folders) {
    if (folder.find(' ') != std::string::npos) {
      return refuse("the folder '" + folder +
                    "' has a space; patch.ini carries spaces only in file names");
    }
    if (folder.back() == '.') {
      return refuse("the folder '" + folder + "' ends with a full stop, which Windows drops");
    }
    directory += folder + "\\";
  }

  size_t dot = file.rfind('.');
  if (dot == std::string::npos || dot + 1 == file.size()) {
    return refuse("it has no extension; the launcher stores every file as NAME.EXTENSION");
  }
  std::string stem = file.substr(0, dot);
  std::string extension = file.substr(dot + 1);
  if (stem.empty()) return refuse("it has no name before its extension");
  if (extension.find(' ') != std::string::npos) {
    return refuse("its extension has a space; patch.ini carries spaces only in file names");
  }
  bool spaces = stem.find(' ') != std::string::npos;
  if (spaces && stem.find('_') != std::string::npos) {
    return refuse("its name has both spaces and underscores; the launcher turns every "
                  "underscore of a name with spaces into a space");
  }
  std::string name = stem;
  std::replace(name.begin(), name.end(), ' ', '_');

  for (const std::string* token : {&name, &extension, &directory}) {
    if (BeginsWithPatch(*token)) {
      return refuse("'" + *token + "' begins with \"patch\": a launcher that already has this "
                    "version would read it as the start of a version block");
    }
  }
  if (extension.size() > kMaxExtension) {
    return refuse(Format("its extension has %zu characters; the launcher takes at most %zu",
                         extension.size(), kMaxExtension));
  }
  if (relative.size() > kMaxLocalPath) {
    return refuse(Format("its path has %zu characters; the launcher takes at most %zu",
                         relative.size(), kMaxLocalPath));
  }
  if (directory.empty() && SameNameCaseAside(file.c_str(), kInstalledVersionFile)) {
    return refuse("System.ini is the launcher's record of the installed version; the "
                  "launcher writes it itself");
  }
  if (!IsSafeName(name.c_str()) || !IsSafeExtension(extension.c_str()) ||
      !IsSafeDirectory(directory.c_str())) {
    return refuse("the launcher refuses it: a Windows device name (CON, NUL, COM1, ...) or a "
                  "name of dots only");
  }

  *entry = FileEntry{};
  snprintf(entry->name, sizeof entry->name, "%s", name.c_str());
  snprintf(entry->extension, sizeof entry->extension, "%s", extension.c_str());
  snprintf(entry->directory, sizeof entry->directory, "%s", directory.c_str());
  entry->spaceFlag = spaces ? 1 : 0;
  return "";
}

std::string AddVersion(const AddRequest& request, std::ostream& progress) {
  const fs::path server(request.serverDir);
  const fs::path build(request.buildDir);
  std::error_code error;

  Version version;
  if (!ParseVersionText(request.version, &version)) {
    return "VERSION '" + request.version +
           "' is not four numbers from 0 to 32767 joined by full stops, such as 1.0.0.7";
  }
  const std::string folderName = VersionText(version);
  if (!fs::is_directory(server, error)) {
    return request.serverDir + ": no such folder (make the folder the web server serves first)";
  }
  if (!fs::is_directory(build, error)) return request.buildDir + ": no such folder";
  if (!request.sinceDir.empty() && !fs::is_directory(request.sinceDir, error)) {
    return request.sinceDir + ": no such folder";
  }

  FolderLock lock(server);
  if (!lock.error().empty()) return lock.error();

  // What the server holds now.
  const fs::path manifestPath = server / kManifestName;
  std::vector<char> text;
  std::string problem = ReadManifest(manifestPath, true, &text);
  if (!problem.empty()) return problem;
  Tables published;
  ManifestParse parse = published.Parse(text, kBeforeEverything);
  if (!parse.complete) {
    return Format("%s: the launcher cannot read it (format error (%d)(%d)); see orvanel-publish "
                  "check", manifestPath.c_str(), parse.parseState, parse.fieldIndex);
  }
  std::vector<Version> versions = VersionsOf(published);
  if (!versions.empty() && !IsNewer(version, versions.back())) {
    return "VERSION " + folderName + " is not newer than " + VersionText(versions.back()) +
           ", the last version in patch.ini";
  }
  if (versions.size() >= static_cast<size_t>(kMaxVersions)) {
    return Format("patch.ini already lists %d versions, the most the launcher reads",
                  kMaxVersions);
  }
  if (fs::exists(server / folderName, error)) {
    return (server / folderName).string() + " already exists, but patch.ini does not list " +
           folderName + ": remove the folder, or publish another version";
  }

  // What this version holds.
  std::vector<std::string> files;
  problem = CollectFiles(build, &files);
  if (!problem.empty()) return request.buildDir + "/" + problem;
  std::vector<PlannedFile> planned;
  size_t unchanged = 0;
  uintmax_t totalBytes = 0;
  for (const std::string& relative : files) {
    if (!request.sinceDir.empty() && SameBytes(build / relative, fs::path(request.sinceDir) / relative)) {
      ++unchanged;
      continue;
    }
    PlannedFile file{relative, {}, fs::file_size(build / relative, error)};
    problem = EncodeBuildPath(relative, &file.entry);
    if (!problem.empty()) return request.buildDir + "/" + problem;
    for (const PlannedFile& other : planned) {
      if (SameNameCaseAside(other.entry.name, file.entry.name)) {
        std::string names = strcmp(other.entry.name, file.entry.name) == 0
                                ? Format("share the name '%s'", file.entry.name)
                                : Format("have the names '%s' and '%s', which only case tells "
                                         "apart", other.entry.name, file.entry.name);
        return Format("%s/%s and %s/%s %s: the server would hold both as %s/%s.ini; rename one",
                      request.buildDir.c_str(), other.relative.c_str(), request.buildDir.c_str(),
                      relative.c_str(), names.c_str(), folderName.c_str(), other.entry.name);
      }
    }
    totalBytes += file.size;
    planned.push_back(file);
  }
  if (planned.empty()) {
    // A version block without files is kept by every launcher, however new:
    // one past it would record it as installed again at each start.
    return request.sinceDir.empty()
               ? request.buildDir + ": no files to publish"
               : "no file of " + request.buildDir + " is new or differs from " +
                     request.sinceDir + ": there is nothing to publish";
  }
  if (planned.size() > static_cast<size_t>(kMaxFilesPerVersion)) {
    return Format("%s has %zu files to publish; a version holds at most %d, so publish them as "
                  "more than one version", request.buildDir.c_str(), planned.size(),
                  kMaxFilesPerVersion);
  }
  if (published.filesTotal + static_cast<int>(planned.size()) > kMaxFilesTotal) {
    return Format("patch.ini would list %zu files; the launcher counts at most %d",
                  published.filesTotal + planned.size(), kMaxFilesTotal);
  }

  // The new manifest: the old bytes as they are, and the version block.
  std::string oldBytes;
  {
    std::ifstream in(manifestPath, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    oldBytes = all.str();
  }
  const char* lineEnd = oldBytes.find("\r\n") != std::string::npos ? "\r\n" : "\n";
  std::string block;
  if (!oldBytes.empty() && oldBytes.back() != '\n') block += lineEnd;
  block += Format("patch = %d, %d, %d, %d", version.numbers[0], version.numbers[1],
                  version.numbers[2], version.numbers[3]) + lineEnd;
  for (const PlannedFile& file : planned) block += FileBlock(file.entry) + lineEnd;
  const std::string newBytes = oldBytes + block;
  if (newBytes.size() > kMaxManifestSize) {
    return Format("patch.ini would have %zu bytes; the launcher reads at most %lu",
                  newBytes.size(), kMaxManifestSize);
  }

  // Read back as the launcher will, by clients at every version.
  std::vector<char> newText(newBytes.begin(), newBytes.end());
  newText.erase(std::remove(newText.begin(), newText.end(), '\r'), newText.end());
  newText.push_back('\0');
  versions.push_back(version);
  problem = EveryClientReads(newText, versions);
  Tables check;
  check.Parse(newText, kBeforeEverything);
  const VersionRecord& record = check.records[check.versionCount - 1];
  bool same = problem.empty() && record.fileCount == static_cast<int16_t>(planned.size());
  for (size_t i = 0; same && i < planned.size(); ++i) {
    same = SameEntry(record.files[i], planned[i].entry);
  }
  if (!same) {
    return "internal error: the launcher would read the new patch.ini differently (" +
           problem + "); nothing was published";
  }

  // The version folder, complete and durable, under a name no manifest uses.
  progress << "publishing " << folderName << ": " << planned.size() << " files, " << totalBytes
           << " bytes";
  if (!request.sinceDir.empty()) progress << " (" << unchanged << " unchanged files left out)";
  progress << "\n";
  const fs::path staging = server / ("." + folderName + ".publishing");
  auto abandon = [&](const std::string& why, const fs::path& folder) {
    fs::remove_all(folder, error);
    return why + "; nothing was published";
  };
  fs::remove_all(staging, error);
  // Readable by the web server whatever the operator's umask.
  if (mkdir(staging.c_str(), 0755) != 0 || chmod(staging.c_str(), 0755) != 0) {
    return abandon(Errno(staging.string()), staging);
  }
  uintmax_t bytesDone = 0;
  for (size_t i = 0; i < planned.size(); ++i) {
    const PlannedFile& file = planned[i];
    problem = CopyFile(build / file.relative, staging / (std::string(file.entry.name) + ".ini"));
    if (!problem.empty()) return abandon(problem, staging);
    bytesDone += file.size;
    int percent = totalBytes == 0 ? 100 : static_cast<int>(bytesDone * 100 / totalBytes);
    progress << Format("[%3zu/%zu %3d%%] %s -> %s/%s.ini\n", i + 1, planned.size(), percent,
                       file.relative.c_str(), folderName.c_str(), file.entry.name);
    progress.flush();
  }
  problem = SyncFolder(staging);
  if (!problem.empty()) return abandon(problem, staging);
  const fs::path folder = server / folderName;
  if (rename(staging.c_str(), folder.c_str()) != 0) {
    return abandon(Errno(folder.string()), staging);
  }
  problem = SyncFolder(server);
  if (!problem.empty()) return abandon(problem, folder);

  // Then the manifest, replaced in one rename.
  const fs::path temporary = server / ".patch.ini.publishing";
  fs::remove(temporary, error);
  NewFile manifest(temporary);
  manifest.Write(newBytes.data(), newBytes.size());
  problem = manifest.Finish();
  if (problem.empty() && rename(temporary.c_str(), manifestPath.c_str()) != 0) {
    problem = Errno(manifestPath.string());
  }
  if (!problem.empty()) {
    fs::remove(temporary, error);
    return abandon(problem, folder);
  }
  problem = SyncFolder(server);
  if (!problem.empty()) return "patch.ini was replaced, but " + problem;

  progress << "published " << folderName << "; patch.ini lists " << versions.size()
           << (versions.size() == 1 ? " version" : " versions") << "\n";
  return "";
}

int CheckServer(const std::string& serverDir, std::ostream& out) {
  const fs::path server(serverDir);
  int problems = 0;
  auto report = [&](const std::string& problem) {
    out << "problem: " << problem << "\n";
    ++problems;
  };

  std::vector<char> text;
  std::string problem = ReadManifest(server / kManifestName, false, &text);
  if (!problem.empty()) {
    report(problem);
    return problems;
  }
  Tables tables;
  ManifestParse parse = tables.Parse(text, kBeforeEverything);
  if (!parse.complete) {
    report(Format("the launcher stops reading patch.ini with format error (%d)(%d), after %d "
                  "versions", parse.parseState, parse.fieldIndex, tables.versionCount));
    return problems;
  }
  std::vector<Version> versions = VersionsOf(tables);

  bool ordered = true;
  for (size_t i = 1; i < versions.size(); ++i) {
    if (!IsNewer(versions[i], versions[i - 1])) {
      ordered = false;
      report("version " + VersionText(versions[i]) + " follows " + VersionText(versions[i - 1]) +
             ", which is not older: launchers take the versions in the order listed");
    }
  }
  uintmax_t bytes = 0;
  for (int v = 0; v < tables.versionCount; ++v) {
    const VersionRecord& record = tables.records[v];
    const std::string folder = VersionText(record.version);
    if (record.fileCount == 0) {
      report("version " + folder + " has no files: every launcher keeps such a version, and "
             "one past it would record it as installed again at each start");
    }
    for (int f = 0; f < record.fileCount; ++f) {
      const FileEntry& entry = record.files[f];
      char local[1024];
      LocalPathOf(entry, local, sizeof local);
      for (int g = 0; g < f; ++g) {
        if (SameNameCaseAside(record.files[g].name, entry.name)) {
          report(folder + ": two files share the name '" + entry.name + "'");
        }
      }
      const fs::path stored = server / folder / (std::string(entry.name) + ".ini");
      std::error_code error;
      if (!fs::is_regular_file(stored, error)) {
        report(folder + ": " + local + " should be on the server as " + stored.string() +
               ", which is missing");
      } else {
        bytes += fs::file_size(stored, error);
      }
    }
  }
  if (ordered) {
    problem = EveryClientReads(text, versions);
    if (!problem.empty()) report(problem);
  }

  out << "patch.ini: " << versions.size() << (versions.size() == 1 ? " version" : " versions");
  if (!versions.empty()) {
    out << " (" << VersionText(versions.front()) << " to " << VersionText(versions.back()) << ")";
  }
  out << ", " << tables.filesTotal << " files, " << bytes << " bytes\n";
  out << (problems == 0 ? std::string("no problems")
                        : Format("%d %s", problems, problems == 1 ? "problem" : "problems"))
      << "\n";
  return problems;
}
