// make_music: writes the demo game's music as standard MIDI files (format 1, 480 ticks a
// quarter note) from the tunes written below in a small note text.
//   make_music OUTDIR
// writes title.mid, story.mid and ending.mid.
//
// Note text: blank-separated tokens NOTE:LEN. NOTE is a name with octave (C4 is middle C, sharps
// with #, flats with b) or r for a rest; several notes joined by + sound together (a chord).
// LEN counts eighth notes.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kEighth = 240;

struct Part {
  int Channel;
  int Program;
  int Velocity;
  int Volume;  // controller 7
  int Pan;     // controller 10
  std::string Notes;
  int Repeat = 1;
};

struct Tune {
  const char* File;
  int Bpm;
  int Numerator;  // time signature over 4
  std::vector<Part> Parts;
};

int NoteNumber(const std::string& name) {
  static const int kSteps[] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
  if (name.empty() || name[0] < 'A' || name[0] > 'G') throw std::runtime_error("bad note " + name);
  int n = kSteps[name[0] - 'A'];
  size_t at = 1;
  if (at < name.size() && name[at] == '#') ++n, ++at;
  else if (at < name.size() && name[at] == 'b') --n, ++at;
  const int octave = std::stoi(name.substr(at));
  return 12 * (octave + 1) + n;
}

void PutVar(std::string& s, uint32_t v) {
  char buf[5];
  int n = 0;
  buf[n++] = static_cast<char>(v & 0x7F);
  while (v >>= 7) buf[n++] = static_cast<char>(0x80 | (v & 0x7F));
  while (n) s.push_back(buf[--n]);
}
void Put32(std::string& s, uint32_t v) {
  for (int k = 3; k >= 0; --k) s.push_back(static_cast<char>(v >> (8 * k)));
}
void Put16(std::string& s, uint16_t v) {
  s.push_back(static_cast<char>(v >> 8));
  s.push_back(static_cast<char>(v));
}

std::string Chunk(const char* id, const std::string& body) {
  std::string s(id);
  Put32(s, static_cast<uint32_t>(body.size()));
  return s + body;
}

std::string TempoTrack(const Tune& tune) {
  std::string t;
  PutVar(t, 0);
  t += "\xFF\x58\x04";
  t.push_back(static_cast<char>(tune.Numerator));
  t += std::string("\x02\x18\x08", 3);
  PutVar(t, 0);
  t += "\xFF\x51\x03";
  const uint32_t usPerQuarter = 60000000u / static_cast<uint32_t>(tune.Bpm);
  t.push_back(static_cast<char>(usPerQuarter >> 16));
  t.push_back(static_cast<char>(usPerQuarter >> 8));
  t.push_back(static_cast<char>(usPerQuarter));
  PutVar(t, 0);
  t += std::string("\xFF\x2F\x00", 3);
  return Chunk("MTrk", t);
}

std::string PartTrack(const Part& part) {
  std::string t;
  const char ch = static_cast<char>(part.Channel);
  auto event = [&](uint32_t delta, std::initializer_list<int> bytes) {
    PutVar(t, delta);
    for (int b : bytes) t.push_back(static_cast<char>(b));
  };
  event(0, {0xC0 | ch, part.Program});
  event(0, {0xB0 | ch, 7, part.Volume});
  event(0, {0xB0 | ch, 10, part.Pan});
  event(0, {0xB0 | ch, 91, 60});  // some reverb where the synthesiser has it
  uint32_t pending = 0;
  for (int r = 0; r < part.Repeat; ++r) {
    std::istringstream in(part.Notes);
    std::string token;
    while (in >> token) {
      const size_t colon = token.find(':');
      if (colon == std::string::npos) throw std::runtime_error("token without length: " + token);
      const uint32_t length = static_cast<uint32_t>(std::stoi(token.substr(colon + 1))) * kEighth;
      const std::string notes = token.substr(0, colon);
      if (notes == "r") {
        pending += length;
        continue;
      }
      std::vector<int> chord;
      std::istringstream parts(notes);
      std::string one;
      while (std::getline(parts, one, '+')) chord.push_back(NoteNumber(one));
      for (size_t k = 0; k < chord.size(); ++k) event(k == 0 ? pending : 0, {0x90 | ch, chord[k], part.Velocity});
      pending = 0;
      // Released a little early so repeated notes are heard as two.
      for (size_t k = 0; k < chord.size(); ++k) event(k == 0 ? length - 12 : 0, {0x80 | ch, chord[k], 0});
      pending = 12;
    }
  }
  PutVar(t, pending);
  t += std::string("\xFF\x2F\x00", 3);
  return Chunk("MTrk", t);
}

std::string Smf(const Tune& tune) {
  std::string head;
  Put16(head, 1);
  Put16(head, static_cast<uint16_t>(tune.Parts.size() + 1));
  Put16(head, 480);
  std::string s = Chunk("MThd", head) + TempoTrack(tune);
  for (const Part& p : tune.Parts) s += PartTrack(p);
  return s;
}

// The title: a waltz in F major, piano over strings and a plucked bass.
const Tune kTitle{
    "title.mid", 84, 3,
    {{0, 0, 84, 110, 64,
      "A5:2 G5:1 F5:1 C5:2  D5:2 E5:2 F5:2  G5:3 A5:1 G5:2  C5:6 "
      "A5:2 G5:1 F5:1 C5:2  Bb5:2 A5:2 G5:2  F5:2 E5:2 G5:2  F5:6 "
      "C6:2 Bb5:1 A5:1 G5:2  A5:2 F5:2 D5:2  E5:2 F5:2 G5:2  A5:6 "
      "D6:2 C6:1 Bb5:1 A5:2  G5:2 A5:2 E5:2  F5:6  F5:4 r:2"},
     {1, 48, 60, 90, 44,
      "F3+A3+C4:6 Bb3+D4+F4:6 C4+E4+G4:6 F3+A3+C4:6 F3+A3+C4:6 G3+Bb3+D4:6 C4+E4+G4:6 F3+A3+C4:6 "
      "F3+A3+C4:6 D3+F3+A3:6 C3+E3+G3:6 F3+A3+C4:6 Bb3+D4+F4:6 C4+E4+G4:6 F3+A3+C4:6 F3+A3+C4:6"},
     {2, 32, 80, 100, 84,
      "F2:2 r:4 Bb2:2 r:4 C3:2 r:4 F2:2 r:4 F2:2 r:4 G2:2 r:4 C3:2 r:4 F2:2 r:4 "
      "F2:2 r:4 D2:2 r:4 C2:2 r:4 F2:2 r:4 Bb2:2 r:4 C3:2 r:4 F2:2 r:4 F2:2 r:4"}}};

// The story: a calm theme in C, flute over a guitar's broken chords.
const Tune kStory{
    "story.mid", 76, 4,
    {{0, 73, 76, 96, 70,
      "E5:3 D5:1 C5:2 G4:2  A4:4 G4:4  F4:3 G4:1 A4:2 C5:2  D5:8 "
      "E5:3 D5:1 C5:2 E5:2  F5:4 E5:2 D5:2  C5:2 D5:2 E5:2 D5:2  C5:8"},
     {1, 24, 70, 100, 50,
      "C3:1 G3:1 C4:1 E4:1 G4:1 E4:1 C4:1 G3:1  A2:1 E3:1 A3:1 C4:1 E4:1 C4:1 A3:1 E3:1 "
      "F2:1 C3:1 F3:1 A3:1 C4:1 A3:1 F3:1 C3:1  G2:1 D3:1 G3:1 B3:1 D4:1 B3:1 G3:1 D3:1 "
      "C3:1 G3:1 C4:1 E4:1 G4:1 E4:1 C4:1 G3:1  F2:1 C3:1 F3:1 A3:1 C4:1 A3:1 F3:1 C3:1 "
      "G2:1 D3:1 G3:1 B3:1 D4:1 B3:1 G3:1 D3:1  C3:1 G3:1 C4:1 E4:1 G4:1 E4:1 C4:2"},
     {2, 49, 50, 80, 80, "C4+E4:8 A3+C4:8 F3+A3:8 G3+B3:8 C4+E4:8 F3+A3:8 G3+B3:8 C4+E4:8"}}};

// The ending: a music box over held strings, slower.
const Tune kEnding{
    "ending.mid", 66, 3,
    {{0, 10, 90, 110, 64,
      "C6:2 E6:2 G6:2  F6:3 E6:1 D6:2  E6:2 C6:2 A5:2  G5:6 "
      "A5:2 C6:2 F6:2  E6:3 D6:1 C6:2  D6:2 B5:2 G5:2  C6:6"},
     {1, 49, 50, 84, 64,
      "C4+E4+G4:6 F3+A3+C4:6 A3+C4+E4:6 G3+B3+D4:6 F3+A3+C4:6 C4+E4+G4:6 G3+B3+D4:6 C4+E4+G4:6"}}};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_music OUTDIR\n");
    return 2;
  }
  try {
    for (const Tune* tune : {&kTitle, &kStory, &kEnding}) {
      const std::string bytes = Smf(*tune);
      std::ofstream f(std::string(argv[1]) + "/" + tune->File, std::ios::binary);
      f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      if (!f) throw std::runtime_error(std::string("cannot write ") + tune->File);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_music: %s\n", e.what());
    return 1;
  }
  return 0;
}
