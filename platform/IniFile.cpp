#include "platform/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/DescriptorIo.h"
#include "platform/IniSyntax.h"
#include "platform/UniqueFd.h"

namespace fs = std::filesystem;

namespace {

// Larger than any ini file a driver manager would read whole.
constexpr size_t kMaxFileBytes = 64u << 20;
// A local file takes no time to write; this only bounds a stuck disk.
constexpr std::chrono::seconds kWriteTimeout{60};

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\f';
}

bool isSpace(char c) {
    return isBlank(c) || c == '\v';
}

size_t skipBlanks(std::string_view text, size_t at) {
    while (at < text.size() && isBlank(text[at])) {
        ++at;
    }
    return at;
}

size_t trimEnd(std::string_view text, size_t begin, size_t end) {
    while (end > begin && isSpace(text[end - 1])) {
        --end;
    }
    return end;
}

bool isCommentStart(char c) {
    return c == ';' || c == '#';
}

// Where a value starting at `begin` ends: at a comment character that
// follows blank space outside quotes, else at the end of the line.
size_t valueStop(std::string_view text, size_t begin) {
    char quote = 0;
    for (size_t at = begin; at < text.size(); ++at) {
        const char c = text[at];
        if (quote != 0) {
            quote = c == quote ? 0 : quote;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (isCommentStart(c) && at > 0 && isBlank(text[at - 1])) {
            return at;
        }
    }
    return text.size();
}

std::string errnoText(const char* what, const fs::path& path) {
    return std::string(what) + " " + path.string() + ": " + std::strerror(errno);
}

bool writeAllTo(int fd, std::string_view bytes) {
    return descriptor_io::writeAll(fd, bytes, descriptor_io::deadlineAfter(kWriteTimeout)) ==
           descriptor_io::Result::Ok;
}

bool syncFolder(const fs::path& folder) {
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.valid() && ::fsync(fd.get()) == 0;
}

fs::path folderOf(const fs::path& path) {
    return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

// A reader caches a file by its size and whole-second modification time: a
// replacement that matches both would go unseen.
bool makeVisible(int fd, const IniFile::Origin& origin) {
    struct stat written {};
    if (::fstat(fd, &written) != 0) {
        return false;
    }
    if (written.st_size != origin.size || written.st_mtim.tv_sec > origin.mtime) {
        return true;
    }
    const timespec times[2] = {{0, UTIME_OMIT}, {origin.mtime + 1, 0}};
    return ::futimens(fd, times) == 0;
}

}  // namespace

IniFile::Line IniFile::classify(std::string text, std::string end) {
    Line line;
    line.end = std::move(end);
    const std::string_view view(text);
    size_t at = skipBlanks(view, 0);
    const bool continues = at > 0;
    if (trimEnd(view, at, view.size()) == at) {
        line.kind = Kind::Blank;
    } else if (view[at] == '[') {
        const size_t close = view.find(']', at + 1);
        const size_t begin = skipBlanks(view, at + 1);
        const size_t stop = close == std::string_view::npos ? begin : trimEnd(view, begin, close);
        if (stop > begin) {
            line.kind = Kind::Section;
            line.name = view.substr(begin, stop - begin);
        }
    } else if (isCommentStart(view[at])) {
        line.kind = Kind::Comment;
    } else if (continues) {
        line.kind = Kind::Continuation;
    } else if (const size_t equals = view.find('='); equals != std::string_view::npos) {
        line.kind = Kind::Key;
        line.name = view.substr(0, trimEnd(view, 0, equals));
        line.valueBegin = skipBlanks(view, equals + 1);
        line.valueEnd = trimEnd(view, line.valueBegin, valueStop(view, line.valueBegin));
    }
    line.text = std::move(text);
    return line;
}

IniFile IniFile::parse(std::string_view text) {
    IniFile file;
    size_t at = 0;
    while (at < text.size()) {
        const size_t stop = text.find_first_of("\r\n", at);
        if (stop == std::string_view::npos) {
            file.lines_.push_back(classify(std::string(text.substr(at)), ""));
            break;
        }
        const size_t endLength = text.compare(stop, 2, "\r\n") == 0 ? 2 : 1;
        file.lines_.push_back(classify(std::string(text.substr(at, stop - at)),
                                       std::string(text.substr(stop, endLength))));
        at = stop + endLength;
    }
    return file;
}

IniFile::LoadResult IniFile::load(const fs::path& path, IniFile& out, std::string& why) {
    out = IniFile();
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) {
        if (errno == ENOENT) {
            return LoadResult::Missing;
        }
        why =
            errno == ELOOP ? path.string() + " is a symbolic link" : errnoText("cannot open", path);
        return LoadResult::Refused;
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        why = path.string() + " is not a regular file";
        return LoadResult::Refused;
    }
    std::string bytes;
    char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            why = errnoText("cannot read", path);
            return LoadResult::Refused;
        }
        if (got == 0) {
            break;
        }
        if (bytes.size() + static_cast<size_t>(got) > kMaxFileBytes) {
            why = path.string() + " is too large";
            return LoadResult::Refused;
        }
        bytes.append(buffer, static_cast<size_t>(got));
    }
    out = parse(bytes);
    out.origin_ = Origin{status.st_uid,  status.st_gid,         status.st_mode & 07777,
                         status.st_size, status.st_mtim.tv_sec, true};
    return LoadResult::Loaded;
}

bool IniFile::save(const fs::path& path, std::string& why) const {
    const std::string bytes = text();
    const fs::path folder = folderOf(path);
    if (!origin_.existed) {
        UniqueFd fd(
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd.valid()) {
            why = errnoText("cannot create", path);
            return false;
        }
        if (!writeAllTo(fd.get(), bytes) || ::fsync(fd.get()) != 0 || !fd.close()) {
            why = errnoText("cannot write", path);
            return false;
        }
        syncFolder(folder);
        return true;
    }
    // Replacing a file we may not write would grant what its mode denies.
    if (!UniqueFd(::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)).valid()) {
        why = errnoText("cannot write", path);
        return false;
    }
    std::string pattern = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
    UniqueFd fd(::mkostemp(pattern.data(), O_CLOEXEC));
    if (!fd.valid()) {
        why = errnoText("cannot write a copy of", path);
        return false;
    }
    const fs::path copy = pattern;
    struct stat made {};
    const bool written = writeAllTo(fd.get(), bytes) && ::fstat(fd.get(), &made) == 0 &&
                         ((made.st_uid == origin_.owner && made.st_gid == origin_.group) ||
                          ::fchown(fd.get(), origin_.owner, origin_.group) == 0) &&
                         ::fchmod(fd.get(), origin_.mode) == 0 && ::fsync(fd.get()) == 0 &&
                         makeVisible(fd.get(), origin_) && fd.close();
    if (!written || ::rename(copy.c_str(), path.c_str()) != 0) {
        why = errnoText("cannot replace", path);
        ::unlink(copy.c_str());
        return false;
    }
    syncFolder(folder);
    return true;
}

std::optional<size_t> IniFile::findSection(std::string_view section) const {
    for (size_t at = 0; at < lines_.size(); ++at) {
        if (lines_[at].kind == Kind::Section && IniSyntax::sameName(lines_[at].name, section)) {
            return at;
        }
    }
    return std::nullopt;
}

size_t IniFile::sectionEnd(size_t header) const {
    size_t at = header + 1;
    while (at < lines_.size() && lines_[at].kind != Kind::Section) {
        ++at;
    }
    return at;
}

std::optional<size_t> IniFile::findKey(size_t header, std::string_view key) const {
    const size_t end = sectionEnd(header);
    for (size_t at = header + 1; at < end; ++at) {
        if (lines_[at].kind == Kind::Key && IniSyntax::sameName(lines_[at].name, key)) {
            return at;
        }
    }
    return std::nullopt;
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const {
    const std::optional<size_t> header = findSection(section);
    const std::optional<size_t> found = header ? findKey(*header, key) : std::nullopt;
    if (!found) {
        return std::nullopt;
    }
    const Line& line = lines_[*found];
    return line.text.substr(line.valueBegin, line.valueEnd - line.valueBegin);
}

bool IniFile::hasSection(std::string_view section) const {
    return findSection(section).has_value();
}

std::vector<std::string> IniFile::sections() const {
    std::vector<std::string> names;
    for (const Line& line : lines_) {
        if (line.kind == Kind::Section) {
            names.push_back(line.name);
        }
    }
    return names;
}

std::vector<std::string> IniFile::keys(std::string_view section) const {
    std::vector<std::string> names;
    const std::optional<size_t> header = findSection(section);
    for (size_t at = header ? *header + 1 : 0, end = header ? sectionEnd(*header) : 0; at < end;
         ++at) {
        if (lines_[at].kind == Kind::Key) {
            names.push_back(lines_[at].name);
        }
    }
    return names;
}

// The file's own line end; never a lone CR, which an LF after the new line
// would turn into one CR LF, swallowing that line.
std::string IniFile::lineEnd() const {
    for (const Line& line : lines_) {
        if (line.end == "\n" || line.end == "\r\n") {
            return line.end;
        }
    }
    return "\n";
}

void IniFile::insertLine(size_t at, std::string text) {
    std::string end = lineEnd();
    // A file that ended without a line end still does.
    if (at == lines_.size() && !lines_.empty() && lines_.back().end.empty()) {
        lines_.back().end = end;
        end.clear();
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                  classify(std::move(text), std::move(end)));
    changed_ = true;
}

void IniFile::replaceValue(Line& line, std::string_view value) {
    std::string rest = line.text.substr(line.valueEnd);
    if (!rest.empty() && !isBlank(rest.front())) {
        rest.insert(0, " ");  // a comment must stay apart from the value
    }
    std::string text = line.text.substr(0, line.valueBegin);
    text.append(value).append(rest);
    if (text != line.text) {
        line = classify(std::move(text), std::move(line.end));
        changed_ = true;
    }
}

bool IniFile::setValue(std::string_view section, std::string_view key, std::string_view value) {
    if (IniSyntax::sectionProblem(section) != IniSyntax::Problem::None ||
        IniSyntax::keyProblem(key) != IniSyntax::Problem::None ||
        IniSyntax::valueProblem(value) != IniSyntax::Problem::None) {
        return false;
    }
    std::string keyLine = std::string(key) + " = " + std::string(value);
    const std::optional<size_t> header = findSection(section);
    if (!header) {
        if (!lines_.empty() && lines_.back().kind != Kind::Blank) {
            insertLine(lines_.size(), "");
        }
        insertLine(lines_.size(), "[" + std::string(section) + "]");
        insertLine(lines_.size(), std::move(keyLine));
        return true;
    }
    if (const std::optional<size_t> found = findKey(*header, key)) {
        replaceValue(lines_[*found], value);
        return true;
    }
    // After the section's last line of content, before the blank lines and
    // comments that lead to the next section.
    size_t at = sectionEnd(*header);
    while (at > *header + 1 &&
           (lines_[at - 1].kind == Kind::Blank || lines_[at - 1].kind == Kind::Comment)) {
        --at;
    }
    insertLine(at, std::move(keyLine));
    return true;
}

bool IniFile::removeKey(std::string_view section, std::string_view key) {
    const std::optional<size_t> header = findSection(section);
    if (!header) {
        return false;
    }
    bool removed = false;
    // Every line of the key: a second one would otherwise become the value.
    while (const std::optional<size_t> found = findKey(*header, key)) {
        const bool wasLast = *found + 1 == lines_.size();
        const std::string end = lines_[*found].end;
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*found));
        if (wasLast && !lines_.empty()) {
            lines_.back().end = end.empty() ? "" : lines_.back().end;
        }
        removed = true;
    }
    changed_ = changed_ || removed;
    return removed;
}

bool IniFile::removeSection(std::string_view section) {
    bool removed = false;
    // Every section of the name: a later one would otherwise take its place.
    while (const std::optional<size_t> header = findSection(section)) {
        const size_t end = sectionEnd(*header);
        size_t stop = end;
        while (stop > *header + 1 &&
               (lines_[stop - 1].kind == Kind::Blank || lines_[stop - 1].kind == Kind::Comment)) {
            --stop;
        }
        while (stop < end && lines_[stop].kind == Kind::Blank) {
            ++stop;
        }
        size_t begin = *header;
        if (stop == lines_.size()) {
            while (begin > 0 && lines_[begin - 1].kind == Kind::Blank) {
                --begin;
            }
        }
        const bool lastHadEnd = !lines_.back().end.empty();
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(begin),
                     lines_.begin() + static_cast<std::ptrdiff_t>(stop));
        if (stop > begin && !lastHadEnd && begin == lines_.size() && !lines_.empty()) {
            lines_.back().end.clear();
        }
        removed = true;
    }
    changed_ = changed_ || removed;
    return removed;
}

std::string IniFile::text() const {
    std::string out;
    for (const Line& line : lines_) {
        out.append(line.text).append(line.end);
    }
    return out;
}
