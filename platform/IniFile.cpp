#include "platform/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <unordered_set>

#include "platform/AsciiCase.h"
#include "platform/UniqueFd.h"

namespace fs = std::filesystem;

namespace {

// Larger than any ini file a driver manager would read whole.
constexpr size_t kMaxFileBytes = 64u << 20;

using NameSet = std::unordered_set<std::string>;

size_t skipWhite(std::string_view text, size_t at) {
    while (at < text.size() && IniSyntax::isWhite(text[at])) {
        ++at;
    }
    return at;
}

// The reader trims names and a value before its comment with isspace(),
// which also takes the vertical tab.
size_t trimSpace(std::string_view text, size_t begin, size_t end) {
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])) != 0) {
        --end;
    }
    return end;
}

// A line's comment, as it follows the value.
std::string_view withoutLeadingSpace(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())) != 0) {
        text.remove_prefix(1);
    }
    return text;
}

std::string folded(std::string_view name) {
    std::string out(name);
    for (char& c : out) {
        c = lowerAscii(c);
    }
    return out;
}

NameSet foldedSet(const std::vector<std::string>& names) {
    NameSet set;
    for (const std::string& name : names) {
        set.insert(folded(name));
    }
    return set;
}

bool isCommentStart(char c) {
    return c == ';' || c == '#';
}

std::string errnoText(const char* what, const fs::path& path) {
    return std::string(what) + " " + path.string() + ": " + std::strerror(errno);
}

}  // namespace

IniFile::Line IniFile::classify(std::string text, std::string end) {
    Line line;
    line.end = std::move(end);
    const std::string_view view(text);
    // The reader drops the blanks that end a line before anything else,
    // but only where a line end follows: a last line without one keeps them.
    size_t contentEnd = view.size();
    while (!line.end.empty() && contentEnd > 0 && IniSyntax::isWhite(view[contentEnd - 1])) {
        --contentEnd;
    }
    const std::string_view content = view.substr(0, contentEnd);
    const size_t at = skipWhite(content, 0);
    if (at == content.size()) {
        line.kind = Kind::Blank;
    } else if (content[at] == '[') {
        const size_t close = content.find(']', at + 1);
        const size_t begin = skipWhite(content, at + 1);
        const size_t stop =
            close == std::string_view::npos ? begin : trimSpace(content, begin, close);
        if (stop > begin) {
            line.kind = Kind::Section;
            line.name = content.substr(begin, stop - begin);
        }
    } else if (isCommentStart(content[at])) {
        line.kind = Kind::Comment;
    } else if (at > 0) {
        line.kind = Kind::Continuation;
    } else if (const size_t equals = content.find('='); equals != std::string_view::npos) {
        line.kind = Kind::Key;
        line.name = content.substr(0, trimSpace(content, 0, equals));
        line.valueBegin = skipWhite(content, equals + 1);
        const IniSyntax::ValueEnd scan = IniSyntax::scanValue(content.substr(line.valueBegin));
        line.valueEnd = scan.comment == std::string_view::npos
                            ? contentEnd
                            : trimSpace(content, line.valueBegin, line.valueBegin + scan.comment);
    }
    line.text = std::move(text);
    return line;
}

IniFile IniFile::parse(std::string_view text) {
    IniFile file;
    // Room for every line and the lines an edit adds, taken once: memory a
    // large file's lines were moved out of would be touched for nothing.
    const auto ends = std::count_if(text.begin(), text.end(), IniSyntax::isLineEnd);
    file.lines_.reserve(static_cast<size_t>(ends) * 9 / 8 + 64);
    size_t at = 0;
    while (at < text.size()) {
        size_t stop = at;
        while (stop < text.size() && !IniSyntax::isLineEnd(text[stop])) {
            ++stop;
        }
        if (stop == text.size()) {
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

int IniFile::resolve(const fs::path& path, PathResolver::Result& place, std::string& why) {
    PathResolver::Rules rules;
    rules.links = PathResolver::forThisProcess();
    rules.mayBeMissing = true;
    std::string problem;
    const int error = PathResolver::resolve(path, rules, place, problem);
    if (error != 0) {
        why = error == ENOENT ? path.string() + " does not exist" : path.string() + ": " + problem;
    }
    return error;
}

IniFile::LoadResult IniFile::load(const fs::path& path, IniFile& out, std::string& why) {
    out = IniFile();
    PathResolver::Result place;
    if (const int error = resolve(path, place, why)) {
        if (error != ENOENT) {
            return LoadResult::Refused;
        }
        why.clear();
        return LoadResult::Missing;
    }
    UniqueFd fd(::openat(place.folder.get(), place.name.c_str(),
                         O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) {
        if (errno == ENOENT) {
            return LoadResult::Missing;
        }
        why =
            errno == ELOOP ? path.string() + " is a symbolic link" : errnoText("cannot open", path);
        return LoadResult::Refused;
    }
    return read(fd.get(), place.path, out, why) ? LoadResult::Loaded : LoadResult::Refused;
}

bool IniFile::read(int fd, const fs::path& path, IniFile& out, std::string& why) {
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        why = path.string() + " is not a regular file";
        return false;
    }
    std::string bytes;
    bytes.reserve(static_cast<size_t>(std::min<off_t>(status.st_size, kMaxFileBytes)));
    char buffer[8192];
    for (;;) {
        const ssize_t got = ::pread(fd, buffer, sizeof buffer, static_cast<off_t>(bytes.size()));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            why = errnoText("cannot read", path);
            return false;
        }
        if (got == 0) {
            break;
        }
        if (bytes.size() + static_cast<size_t>(got) > kMaxFileBytes) {
            why = path.string() + " is too large";
            return false;
        }
        bytes.append(buffer, static_cast<size_t>(got));
    }
    out = parse(bytes);
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
        const std::string_view matched = IniSyntax::matchedKey(lines_[at].name);
        if (lines_[at].kind == Kind::Key && !matched.empty() && IniSyntax::sameName(matched, key)) {
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

std::vector<std::pair<std::string, std::string>> IniFile::entries(std::string_view section) const {
    std::vector<std::pair<std::string, std::string>> found;
    const std::optional<size_t> header = findSection(section);
    for (size_t at = header ? *header + 1 : 0, end = header ? sectionEnd(*header) : 0; at < end;
         ++at) {
        const Line& line = lines_[at];
        if (line.kind == Kind::Key) {
            found.emplace_back(line.name,
                               line.text.substr(line.valueBegin, line.valueEnd - line.valueBegin));
        }
    }
    return found;
}

std::vector<std::string> IniFile::keys(std::string_view section) const {
    std::vector<std::string> names;
    for (auto& [key, value] : entries(section)) {
        names.push_back(std::move(key));
    }
    return names;
}

// The file's own line end; never a lone CR or Ctrl-Z, which an LF after the
// new line would turn into one CR LF, swallowing that line.
std::string IniFile::lineEnd() const {
    for (const Line& line : lines_) {
        if (line.end == "\n" || line.end == "\r\n") {
            return line.end;
        }
    }
    return "\n";
}

// Whether the line reads the same with `end` after it: a key's value ending
// in blanks keeps them only on a last line without a line end.
bool IniFile::readsSameWith(const Line& line, const std::string& end) {
    const Line other = classify(line.text, end);
    return other.kind == line.kind && other.name == line.name &&
           other.valueEnd - other.valueBegin == line.valueEnd - line.valueBegin;
}

// Whether the last line must stay last, without a line end, to read as it
// does; a key before any section is read by nobody.
bool IniFile::lastLineKeepsItsPlace() const {
    if (lines_.empty() || !lines_.back().end.empty() || readsSameWith(lines_.back(), lineEnd())) {
        return false;
    }
    return std::any_of(lines_.begin(), lines_.end(),
                       [](const Line& line) { return line.kind == Kind::Section; });
}

void IniFile::insertLine(size_t at, std::string text) {
    std::string end = lineEnd();
    if (at == lines_.size() && !lines_.empty() && lines_.back().end.empty()) {
        if (lastLineKeepsItsPlace()) {
            --at;  // the new line goes before it, in the same section
        } else {
            // A file that ended without a line end still does.
            lines_.back() = classify(std::move(lines_.back().text), end);
            end.clear();
        }
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                  classify(std::move(text), std::move(end)));
    changed_ = true;
}

// At the end of the file; before the last section when the file's last
// line must stay last.
size_t IniFile::newSectionPlace() const {
    if (!lastLineKeepsItsPlace()) {
        return lines_.size();
    }
    size_t at = lines_.size();
    while (lines_[at - 1].kind != Kind::Section) {
        --at;
    }
    return at - 1;
}

IniSyntax::Problem IniFile::replaceValue(Line& line, std::string_view value) {
    std::string rest = line.text.substr(line.valueEnd);
    if (!rest.empty() && isCommentStart(rest.front())) {
        rest.insert(0, " ");  // a comment must stay apart from the value
    }
    std::string text = line.text.substr(0, line.valueBegin);
    text.append(value).append(rest);
    if (text == line.text) {
        return IniSyntax::Problem::None;
    }
    Line edited = classify(text, line.end);
    const std::string_view view(edited.text);
    if (edited.kind != Kind::Key ||
        view.substr(edited.valueBegin, edited.valueEnd - edited.valueBegin) != value ||
        withoutLeadingSpace(view.substr(edited.valueEnd)) != withoutLeadingSpace(rest)) {
        return IniSyntax::scanValue(value).quoteOpen ? IniSyntax::Problem::OpenQuote
                                                     : IniSyntax::Problem::OuterBlank;
    }
    line = std::move(edited);
    changed_ = true;
    return IniSyntax::Problem::None;
}

// After the section's last line of content, before the blank lines and
// comments that lead to the next section; but before an empty key, where
// a lister of the section stops.
size_t IniFile::newKeyPlace(size_t header) const {
    const size_t end = sectionEnd(header);
    for (size_t at = header + 1; at < end; ++at) {
        if (lines_[at].kind == Kind::Key && lines_[at].name.empty()) {
            return at;
        }
    }
    size_t at = end;
    while (at > header + 1 &&
           (lines_[at - 1].kind == Kind::Blank || lines_[at - 1].kind == Kind::Comment)) {
        --at;
    }
    return at;
}

IniSyntax::Problem IniFile::setValue(std::string_view section, std::string_view key,
                                     std::string_view value) {
    for (const IniSyntax::Problem problem :
         {IniSyntax::sectionProblem(section), IniSyntax::keyProblem(key),
          IniSyntax::valueProblem(value)}) {
        if (problem != IniSyntax::Problem::None) {
            return problem;
        }
    }
    std::string keyLine = std::string(key) + " = " + std::string(value);
    const std::optional<size_t> header = findSection(section);
    if (!header) {
        size_t at = newSectionPlace();
        if (at < lines_.size()) {
            insertLine(at, "");  // apart from the section that follows
        } else if (!lines_.empty() && lines_.back().kind != Kind::Blank) {
            insertLine(at++, "");
        }
        insertLine(at, std::move(keyLine));
        insertLine(at, "[" + std::string(section) + "]");
        return IniSyntax::Problem::None;
    }
    if (const std::optional<size_t> found = findKey(*header, key)) {
        return replaceValue(lines_[*found], value);
    }
    insertLine(newKeyPlace(*header), std::move(keyLine));
    return IniSyntax::Problem::None;
}

// Drops the marked lines in one pass; when the old last line went and had
// no line end, the new last line loses its own where it reads the same.
void IniFile::eraseMarked(const std::vector<bool>& marked) {
    const bool lastHadEnd = !lines_.empty() && !lines_.back().end.empty();
    const bool lastErased = !marked.empty() && marked.back();
    std::vector<Line> kept;
    kept.reserve(lines_.size());
    for (size_t at = 0; at < lines_.size(); ++at) {
        if (!marked[at]) {
            kept.push_back(std::move(lines_[at]));
        }
    }
    lines_ = std::move(kept);
    if (lastErased && !lastHadEnd && !lines_.empty() && readsSameWith(lines_.back(), "")) {
        lines_.back().end.clear();
    }
    changed_ = true;
}

bool IniFile::removeKey(std::string_view section, std::string_view key) {
    return removeKeys(section, {std::string(key)});
}

// Every line of each key, by the name a reader matches or as it is
// written: a second line would otherwise become the value.
bool IniFile::removeKeys(std::string_view section, const std::vector<std::string>& keys) {
    const std::optional<size_t> header = findSection(section);
    if (!header) {
        return false;
    }
    const NameSet names = foldedSet(keys);
    std::vector<bool> marked(lines_.size(), false);
    bool removed = false;
    for (size_t at = *header + 1, end = sectionEnd(*header); at < end; ++at) {
        const Line& line = lines_[at];
        if (line.kind == Kind::Key && (names.contains(folded(line.name)) ||
                                       names.contains(folded(IniSyntax::matchedKey(line.name))))) {
            marked[at] = removed = true;
        }
    }
    if (removed) {
        eraseMarked(marked);
    }
    return removed;
}

bool IniFile::removeSection(std::string_view section) {
    return removeSections({std::string(section)});
}

// Every section of each name: a later one would otherwise take its place.
// A section goes with the blank lines after its content; the comments that
// lead to the next section stay.
bool IniFile::removeSections(const std::vector<std::string>& sections) {
    const NameSet names = foldedSet(sections);
    std::vector<bool> marked(lines_.size(), false);
    bool removed = false;
    for (size_t header = 0; header < lines_.size();) {
        if (lines_[header].kind != Kind::Section || !names.contains(folded(lines_[header].name))) {
            ++header;
            continue;
        }
        const size_t end = sectionEnd(header);
        size_t stop = end;
        while (stop > header + 1 &&
               (lines_[stop - 1].kind == Kind::Blank || lines_[stop - 1].kind == Kind::Comment)) {
            --stop;
        }
        while (stop < end && lines_[stop].kind == Kind::Blank) {
            ++stop;
        }
        size_t begin = header;
        if (stop == lines_.size()) {
            while (begin > 0 && (lines_[begin - 1].kind == Kind::Blank || marked[begin - 1])) {
                --begin;
            }
        }
        for (size_t at = begin; at < stop; ++at) {
            marked[at] = true;
        }
        removed = true;
        header = end;
    }
    if (removed) {
        eraseMarked(marked);
    }
    return removed;
}

std::string IniFile::text() const {
    size_t size = 0;
    for (const Line& line : lines_) {
        size += line.text.size() + line.end.size();
    }
    std::string out;
    out.reserve(size);
    for (const Line& line : lines_) {
        out.append(line.text).append(line.end);
    }
    return out;
}
