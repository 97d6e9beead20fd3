#include "assets/kolvo2/tune_compiler.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <sstream>
#include <stdexcept>

#include "assets/kolvo2/instruments.h"
#include "sound/qssData.h"
#include "sound/qssTables.h"

namespace k2audio {

namespace {

constexpr int kRows = 64;
constexpr int kBar = 16;
// The classic tracker range of notes (periods 856 to 113).
constexpr int kLowestIndex = 12, kHighestIndex = 47;

struct Cell {
  int sample = 0, period = 0, effect = 0, param = 0;
  bool HasEffect() const { return effect != 0 || param != 0; }
};
using Line = std::vector<Cell>;

struct InstrumentDef {
  std::string name;
  Instrument sound;
  int volume = 64;
};

struct Drum {
  int instrument = 0;  // 1-based
  int midi = 60;
  int volume = 64;
};

struct Channel {
  std::string role;
  enum Kind { kNotes, kDrums, kCopy } kind = kNotes;
  std::string defaults;
  std::string source;
  int delay = 0, percent = 100;
};

struct PatternDef {
  std::string name;
  int line = 0;
  std::map<std::string, std::pair<std::string, int>> roles;  // text and its line number
};

class Compiler {
 public:
  explicit Compiler(std::string name) : name_(std::move(name)) {}

  std::vector<uint8_t> Run(const std::string& source);

 private:
  [[noreturn]] void Fail(int line, const std::string& what) const {
    throw std::runtime_error(name_ + ":" + std::to_string(line) + ": " + what);
  }
  void Directive(int line, const std::string& text);
  int InstrumentNumber(int line, const std::string& name) const;
  int Midi(int line, const std::string& note) const;
  int Period(int line, int instrument, int midi) const;
  std::string Expand(int line, const std::string& text, int depth = 0) const;
  Line Notes(int line, const std::string& text) const;
  Line Drums(int line, const std::string& text) const;
  Line Copy(const Line& source, const Channel& c) const;
  std::vector<Line> Build(const PatternDef& p) const;

  std::string name_;
  std::string title_;
  int speed_ = 6, tempo_ = 125, restart_ = 0;
  std::vector<InstrumentDef> instruments_;
  std::map<char, Drum> drums_;
  std::map<int, Channel> channels_;
  std::map<std::string, std::string> phrases_;
  std::vector<PatternDef> patterns_;
  std::vector<std::string> order_;
  PatternDef* open_ = nullptr;
};

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

int Number(const std::string& s, bool* ok) {
  char* end = nullptr;
  const long v = std::strtol(s.c_str(), &end, 10);
  *ok = !s.empty() && *end == 0 && v >= 0 && v < 100000;
  return static_cast<int>(v);
}

void Compiler::Directive(int line, const std::string& text) {
  const std::vector<std::string> w = Words(text);
  auto number = [&](size_t i, int lo, int hi) {
    bool ok = false;
    const int v = i < w.size() ? Number(w[i], &ok) : 0;
    if (!ok || v < lo || v > hi)
      Fail(line, w[0] + ": " + (i < w.size() ? "\"" + w[i] + "\"" : std::string("nothing")) + " is not a number from " +
                     std::to_string(lo) + " to " + std::to_string(hi));
    return v;
  };
  const std::string& d = w[0];
  if (d == "title") {
    title_ = text.substr(text.find("title") + 5);
    title_.erase(0, title_.find_first_not_of(' '));
  } else if (d == "speed") {
    speed_ = number(1, 1, 31);
  } else if (d == "tempo") {
    tempo_ = number(1, 33, 255);
  } else if (d == "restart") {
    restart_ = number(1, 0, 127);
  } else if (d == "instrument") {
    if (w.size() != 4) Fail(line, "instrument NAME PRESET VOLUME");
    if (instruments_.size() == 31) Fail(line, "more than 31 instruments");
    InstrumentDef def;
    def.name = w[1];
    try {
      def.sound = MakeInstrument(w[2]);
    } catch (const std::runtime_error& e) {
      Fail(line, e.what());
    }
    def.volume = number(3, 0, 64);
    instruments_.push_back(std::move(def));
  } else if (d == "drum") {
    if (w.size() != 5 || w[1].size() != 1 || !std::islower(static_cast<unsigned char>(w[1][0])))
      Fail(line, "drum LETTER INSTRUMENT NOTE VOLUME, the letter in lower case");
    Drum drum;
    drum.instrument = InstrumentNumber(line, w[2]);
    drum.midi = Midi(line, w[3]);
    drum.volume = number(4, 0, 64);
    Period(line, drum.instrument, drum.midi);
    drums_[w[1][0]] = drum;
  } else if (d == "channel") {
    const int n = number(1, 0, 31);
    if (w.size() < 4) Fail(line, "channel N ROLE notes|drums|copy ...");
    Channel c;
    c.role = w[2];
    if (w[3] == "notes" || w[3] == "drums") {
      c.kind = w[3] == "notes" ? Channel::kNotes : Channel::kDrums;
      for (size_t i = 4; i < w.size(); ++i) c.defaults += w[i] + " ";
    } else if (w[3] == "copy") {
      if (w.size() != 7) Fail(line, "channel N ROLE copy SOURCE DELAY PERCENT");
      c.kind = Channel::kCopy;
      c.source = w[4];
      c.delay = number(5, 0, kRows - 1);
      c.percent = number(6, 0, 100);
    } else {
      Fail(line, "a channel plays notes, drums or a copy, not \"" + w[3] + "\"");
    }
    for (const auto& other : channels_)
      if (other.second.role == c.role) Fail(line, "two channels play \"" + c.role + "\"");
    if (channels_.count(n)) Fail(line, "channel " + std::to_string(n) + " is given twice");
    channels_[n] = c;
  } else if (d == "phrase") {
    if (w.size() < 2) Fail(line, "phrase NAME TEXT");
    const size_t at = text.find(w[1], text.find("phrase") + 6) + w[1].size();
    phrases_[w[1]] = text.substr(at);
  } else if (d == "pattern") {
    if (w.size() != 2) Fail(line, "pattern NAME");
    for (const PatternDef& p : patterns_)
      if (p.name == w[1]) Fail(line, "pattern \"" + w[1] + "\" is given twice");
    patterns_.push_back(PatternDef{w[1], line, {}});
    open_ = &patterns_.back();
  } else if (d == "order") {
    for (size_t i = 1; i < w.size(); ++i) order_.push_back(w[i]);
  } else {
    Fail(line, "unknown line \"" + d + "\"");
  }
}

int Compiler::InstrumentNumber(int line, const std::string& name) const {
  for (size_t i = 0; i < instruments_.size(); ++i)
    if (instruments_[i].name == name) return static_cast<int>(i) + 1;
  Fail(line, "no instrument \"" + name + "\"");
}

// A note name with octave such as "c4", "f+3" or "b-2" as a MIDI number (c4 = 60).
int Compiler::Midi(int line, const std::string& note) const {
  static const int kSteps[7] = {9, 11, 0, 2, 4, 5, 7};  // a b c d e f g
  size_t i = 0;
  if (note.empty() || note[0] < 'a' || note[0] > 'g') Fail(line, "\"" + note + "\" is not a note");
  int midi = kSteps[note[i++] - 'a'];
  while (i < note.size() && (note[i] == '+' || note[i] == '-')) midi += note[i++] == '+' ? 1 : -1;
  bool ok = false;
  const int octave = Number(note.substr(i), &ok);
  if (!ok || octave > 9) Fail(line, "\"" + note + "\" needs an octave");
  return midi + 12 * (octave + 1);
}

int Compiler::Period(int line, int instrument, int midi) const {
  const Instrument& s = instruments_[instrument - 1].sound;
  const int index = s.rootIndex + midi - s.rootMidi;
  if (index < kLowestIndex || index > kHighestIndex)
    Fail(line, "note " + std::to_string(midi) + " is out of the range of " + instruments_[instrument - 1].name);
  return amiganote[0][index];
}

std::string Compiler::Expand(int line, const std::string& text, int depth) const {
  if (depth > 8) Fail(line, "phrases nest too deep");
  std::string out;
  for (size_t i = 0; i < text.size();) {
    if (text[i] != '$') {
      out += text[i++];
      continue;
    }
    size_t j = i + 1;
    while (j < text.size() && (std::isalnum(static_cast<unsigned char>(text[j])) || text[j] == '_')) ++j;
    const std::string name = text.substr(i + 1, j - i - 1);
    const auto found = phrases_.find(name);
    if (found == phrases_.end()) Fail(line, "no phrase \"" + name + "\"");
    out += " " + Expand(line, found->second, depth + 1) + " ";
    i = j;
  }
  return out;
}

Line Compiler::Notes(int line, const std::string& text) const {
  Line cells(kRows);
  int row = 0, octave = 4, length = 2, instrument = 0, volume = -1;
  bool sounding = false;
  const std::string s = Expand(line, text);
  size_t i = 0;
  auto peek = [&]() { return i < s.size() ? s[i] : '\0'; };
  auto number = [&]() {
    size_t j = i;
    while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
    if (j == i) Fail(line, "a number is missing at \"" + s.substr(i, 12) + "\"");
    const int v = std::stoi(s.substr(i, j - i));
    i = j;
    return v;
  };
  // A length: 1 2 4 8 16 with dots, in rows; the default when none is written.
  auto duration = [&]() {
    int rows = length;
    if (std::isdigit(static_cast<unsigned char>(peek()))) {
      const int n = number();
      if (n != 1 && n != 2 && n != 4 && n != 8 && n != 16) Fail(line, "a length of " + std::to_string(n));
      rows = 16 / n;
    }
    for (int add = rows / 2; peek() == '.'; add /= 2) {
      ++i;
      if (add == 0) Fail(line, "a dot shorter than a row");
      rows += add;
    }
    return rows;
  };
  auto pitch = [&]() {
    static const int kSteps[7] = {9, 11, 0, 2, 4, 5, 7};
    int midi = kSteps[s[i++] - 'a'] + 12 * (octave + 1);
    while (peek() == '+' || peek() == '-') midi += s[i++] == '+' ? 1 : -1;
    return midi;
  };
  auto effect = [&]() {
    if (i + 3 > s.size()) Fail(line, "an effect needs three hex digits");
    const std::string hex = s.substr(i, 3);
    for (char c : hex)
      if (!std::isxdigit(static_cast<unsigned char>(c))) Fail(line, "\"" + hex + "\" is not an effect");
    i += 3;
    const int v = std::stoi(hex, nullptr, 16);
    return Cell{0, 0, v >> 8, v & 0xFF};
  };
  auto room = [&](int rows) {
    if (row + rows > kRows) Fail(line, "the line runs past the end of the pattern (64 rows)");
  };
  while (i < s.size()) {
    const char c = s[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (c == '|') {
      ++i;
      if (row % kBar) Fail(line, "bar line at row " + std::to_string(row) + ", not on a bar");
    } else if (c == 'o') {
      ++i;
      octave = number();
    } else if (c == '>' || c == '<') {
      ++i;
      octave += c == '>' ? 1 : -1;
    } else if (c == 'l') {
      ++i;
      if (!std::isdigit(static_cast<unsigned char>(peek()))) Fail(line, "\"l\" needs a length");
      length = duration();
    } else if (c == 'v') {
      ++i;
      volume = number();
      if (volume > 64) Fail(line, "a volume above 64");
    } else if (c == '@') {
      size_t j = ++i;
      while (j < s.size() && (std::isalnum(static_cast<unsigned char>(s[j])) || s[j] == '_')) ++j;
      instrument = InstrumentNumber(line, s.substr(i, j - i));
      i = j;
    } else if (c == 'r') {
      ++i;
      const int rows = duration();
      room(rows);
      if (sounding) cells[row] = Cell{0, 0, 0xA, 0x0F};
      sounding = false;
      row += rows;
    } else if (c == '&') {
      ++i;
      const int rows = duration();
      room(rows);
      if (!sounding) Fail(line, "a tie after no note");
      row += rows;
    } else if ((c >= 'a' && c <= 'g') || c == '[') {
      std::vector<int> chord;
      if (c == '[') {
        ++i;
        const int saved = octave;
        while (peek() != ']') {
          if (peek() == '>' || peek() == '<') {
            octave += s[i++] == '>' ? 1 : -1;
          } else if (peek() >= 'a' && peek() <= 'g') {
            chord.push_back(pitch());
          } else {
            Fail(line, "a chord holds notes and octave marks only");
          }
        }
        ++i;
        octave = saved;
        if (chord.size() < 2 || chord.size() > 3) Fail(line, "a chord of two or three notes");
      } else {
        chord.push_back(pitch());
      }
      const int rows = duration();
      room(rows);
      if (!instrument) Fail(line, "a note before any instrument (@NAME)");
      Cell first{instrument, Period(line, instrument, chord[0]), 0, 0};
      Cell rest;
      if (chord.size() > 1) {
        const int x = chord[1] - chord[0], y = chord.size() > 2 ? chord[2] - chord[0] : 0;
        if (x < 0 || x > 15 || y < 0 || y > 15) Fail(line, "a chord spans 0 to 15 semitones above its root");
        first.effect = rest.effect = 0;
        first.param = rest.param = x << 4 | y;
      }
      if (volume >= 0) {
        if (chord.size() > 1) Fail(line, "a chord takes the instrument's volume");
        first.effect = 0xC;
        first.param = volume;
      }
      while (peek() == ':' || peek() == ';') {
        const bool onFirst = s[i++] == ':';
        if (chord.size() > 1) Fail(line, "a chord takes no effects");
        const Cell e = effect();
        Cell& target = onFirst ? first : rest;
        if (onFirst && volume >= 0) Fail(line, "an effect on a note with a volume");
        target.effect = e.effect;
        target.param = e.param;
      }
      cells[row] = first;
      for (int k = 1; k < rows; ++k) cells[row + k] = rest;
      sounding = true;
      row += rows;
    } else {
      Fail(line, std::string("unexpected \"") + c + "\"");
    }
  }
  if (row != kRows) Fail(line, "the line fills " + std::to_string(row) + " rows, not 64");
  return cells;
}

Line Compiler::Drums(int line, const std::string& text) const {
  Line cells(kRows);
  int row = 0;
  for (char c : Expand(line, text)) {
    if (std::isspace(static_cast<unsigned char>(c))) continue;
    if (c == '|') {
      if (row % kBar) Fail(line, "bar line at row " + std::to_string(row) + ", not on a bar");
      continue;
    }
    if (row >= kRows) Fail(line, "the line runs past the end of the pattern (64 rows)");
    if (c != '.') {
      const auto found = drums_.find(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
      if (found == drums_.end()) Fail(line, std::string("no drum \"") + c + "\"");
      const Drum& d = found->second;
      const int volume = std::isupper(static_cast<unsigned char>(c)) ? std::min(64, d.volume + 16) : d.volume;
      cells[row] = Cell{d.instrument, Period(line, d.instrument, d.midi), 0xC, volume};
    }
    ++row;
  }
  if (row != kRows) Fail(line, "the line fills " + std::to_string(row) + " rows, not 64");
  return cells;
}

Line Compiler::Copy(const Line& source, const Channel& c) const {
  Line out(kRows);
  for (int r = 0; r + c.delay < kRows; ++r) {
    Cell cell = source[r];
    if (cell.effect == 0xC) {
      cell.param = cell.param * c.percent / 100;
    } else if (cell.sample && !cell.HasEffect()) {
      cell.effect = 0xC;
      cell.param = instruments_[cell.sample - 1].volume * c.percent / 100;
    }
    out[r + c.delay] = cell;
  }
  return out;
}

std::vector<Line> Compiler::Build(const PatternDef& p) const {
  const int tracks = channels_.rbegin()->first + 1;
  std::vector<Line> lines(tracks, Line(kRows));
  std::map<std::string, Line> byRole;
  for (const auto& role : p.roles) {
    const auto c = std::find_if(channels_.begin(), channels_.end(),
                                [&](const auto& ch) { return ch.second.role == role.first; });
    if (c == channels_.end()) Fail(role.second.second, "no channel plays \"" + role.first + "\"");
    const std::string text = c->second.defaults + role.second.first;
    byRole[role.first] = c->second.kind == Channel::kDrums ? Drums(role.second.second, text)
                                                             : Notes(role.second.second, text);
  }
  for (const auto& [n, c] : channels_) {
    if (byRole.count(c.role)) {
      lines[n] = byRole[c.role];
    } else if (c.kind == Channel::kCopy && byRole.count(c.source)) {
      lines[n] = Copy(byRole[c.source], c);
    }
  }
  return lines;
}

std::vector<uint8_t> Compiler::Run(const std::string& source) {
  // Lines, joined where one ends in a backslash.
  std::istringstream in(source);
  std::string raw, text;
  int number = 0, start = 0;
  while (std::getline(in, raw)) {
    ++number;
    const size_t hash = raw.find('#');
    if (hash != std::string::npos) raw.erase(hash);
    while (!raw.empty() && std::isspace(static_cast<unsigned char>(raw.back()))) raw.pop_back();
    if (text.empty()) start = number;
    if (!raw.empty() && raw.back() == '\\') {
      raw.pop_back();
      text += raw + " ";
      continue;
    }
    text += raw;
    const std::vector<std::string> w = Words(text);
    if (w.empty()) {
      text.clear();
      continue;
    }
    if (open_) {
      if (w[0] == "end") {
        open_ = nullptr;
      } else {
        const size_t colon = text.find(':');
        if (colon == std::string::npos) Fail(start, "a pattern line is ROLE: TEXT");
        std::string role = text.substr(0, colon);
        role.erase(0, role.find_first_not_of(" \t"));
        role.erase(role.find_last_not_of(" \t") + 1);
        if (open_->roles.count(role)) Fail(start, "role \"" + role + "\" twice in one pattern");
        open_->roles[role] = {text.substr(colon + 1), start};
      }
    } else {
      Directive(start, text);
    }
    text.clear();
  }
  if (open_) Fail(open_->line, "pattern \"" + open_->name + "\" has no end");
  if (channels_.empty()) Fail(number, "no channels");
  if (order_.empty()) Fail(number, "no order");
  if (restart_ >= static_cast<int>(order_.size())) Fail(number, "the restart lies beyond the order");
  const int tracks = channels_.rbegin()->first + 1;
  if (tracks != 4 && tracks != 6 && tracks != 8) Fail(number, "4, 6 or 8 channels");
  if (order_.size() > 128) Fail(number, "more than 128 order positions");

  // Patterns are numbered as the order first plays them.
  std::vector<const PatternDef*> used;
  std::vector<uint8_t> orders;
  for (const std::string& n : order_) {
    const auto p = std::find_if(patterns_.begin(), patterns_.end(), [&](const PatternDef& d) { return d.name == n; });
    if (p == patterns_.end()) Fail(number, "the order plays \"" + n + "\", which is no pattern");
    auto u = std::find(used.begin(), used.end(), &*p);
    if (u == used.end()) u = used.insert(used.end(), &*p);
    orders.push_back(static_cast<uint8_t>(u - used.begin()));
  }
  for (const PatternDef& p : patterns_)
    if (std::find(used.begin(), used.end(), &p) == used.end()) Fail(p.line, "pattern \"" + p.name + "\" is never played");

  std::vector<std::vector<Line>> built;
  for (const PatternDef* p : used) built.push_back(Build(*p));
  // Speed and tempo at the start, in free effect places of the first row.
  std::vector<Cell> settings;
  if (speed_ != 6) settings.push_back(Cell{0, 0, 0xF, speed_});
  if (tempo_ != 125) settings.push_back(Cell{0, 0, 0xF, tempo_});
  for (const Cell& set : settings) {
    auto& first = built[orders[0]];
    auto free = std::find_if(first.begin(), first.end(), [](const Line& l) { return !l[0].HasEffect(); });
    if (free == first.end()) Fail(number, "no free effect on the first row for the speed or tempo");
    (*free)[0].effect = set.effect;
    (*free)[0].param = set.param;
  }

  std::vector<uint8_t> mod(QSS_MOD_HEADER, 0);
  std::memcpy(mod.data(), title_.data(), std::min<size_t>(title_.size(), 20));
  for (size_t k = 0; k < instruments_.size(); ++k) {
    uint8_t* h = &mod[20 + 30 * k];
    const InstrumentDef& def = instruments_[k];
    std::memcpy(h, def.name.data(), std::min<size_t>(def.name.size(), 22));
    const uint32_t words = static_cast<uint32_t>(def.sound.data.size() / 2);
    if (words > 0xFFFF) Fail(number, "instrument \"" + def.name + "\" is too long");
    h[22] = static_cast<uint8_t>(words >> 8);
    h[23] = static_cast<uint8_t>(words);
    h[24] = 0;
    h[25] = static_cast<uint8_t>(def.volume);
    const uint32_t start = def.sound.loopLength ? def.sound.loopStart / 2 : 0;
    const uint32_t length = def.sound.loopLength ? def.sound.loopLength / 2 : 1;
    h[26] = static_cast<uint8_t>(start >> 8);
    h[27] = static_cast<uint8_t>(start);
    h[28] = static_cast<uint8_t>(length >> 8);
    h[29] = static_cast<uint8_t>(length);
  }
  mod[950] = static_cast<uint8_t>(orders.size());
  mod[951] = static_cast<uint8_t>(restart_);
  std::copy(orders.begin(), orders.end(), mod.begin() + 952);
  const std::string signature = tracks == 4 ? "M.K." : std::to_string(tracks) + "CHN";
  std::memcpy(&mod[1080], signature.data(), 4);
  for (const auto& pattern : built)
    for (int r = 0; r < kRows; ++r)
      for (int t = 0; t < tracks; ++t) {
        const Cell& c = pattern[t][r];
        mod.push_back(static_cast<uint8_t>((c.sample & 0xF0) | ((c.period >> 8) & 0x0F)));
        mod.push_back(static_cast<uint8_t>(c.period));
        mod.push_back(static_cast<uint8_t>(((c.sample & 0x0F) << 4) | c.effect));
        mod.push_back(static_cast<uint8_t>(c.param));
      }
  for (const InstrumentDef& def : instruments_)
    for (int8_t v : def.sound.data) mod.push_back(static_cast<uint8_t>(v));
  return mod;
}

}  // namespace

std::vector<uint8_t> CompileTune(const std::string& source, const std::string& name) {
  return Compiler(name).Run(source);
}

}  // namespace k2audio
