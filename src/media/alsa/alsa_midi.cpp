#include "media/alsa/alsa_midi.h"

#include <alsa/asoundlib.h>

#include <mutex>
#include <vector>

namespace orin {

namespace {

void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

snd_seq_t* OpenSequencer() {
  // A machine without the sequencer makes ALSA print to stderr; its absence is normal here.
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(QuietAlsa); });
  snd_seq_t* seq = nullptr;
  if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0) return nullptr;
  snd_seq_set_client_name(seq, "orinplay");
  return seq;
}

class AlsaMidiOut : public MidiOut {
 public:
  AlsaMidiOut(snd_seq_t* seq, int port, snd_midi_event_t* encoder) : seq_(seq), port_(port), encoder_(encoder) {}
  ~AlsaMidiOut() override {
    snd_midi_event_free(encoder_);
    snd_seq_close(seq_);
  }

  void SendShort(std::span<const uint8_t> message) override {
    snd_midi_event_reset_encode(encoder_);
    for (uint8_t b : message) {
      snd_seq_event_t ev;
      snd_seq_ev_clear(&ev);
      if (snd_midi_event_encode_byte(encoder_, b, &ev) == 1) Output(ev);
    }
  }

  void SendLong(std::span<const uint8_t> message) override {
    if (message.empty()) return;
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    // ALSA sends the buffer as it is; it does not write through the pointer.
    snd_seq_ev_set_sysex(&ev, static_cast<unsigned>(message.size()), const_cast<uint8_t*>(message.data()));
    Output(ev);
  }

  void Reset() override {
    for (uint8_t channel = 0; channel < 16; ++channel) {
      const uint8_t soundOff[3] = {static_cast<uint8_t>(0xB0 | channel), 0x78, 0};
      const uint8_t resetControllers[3] = {static_cast<uint8_t>(0xB0 | channel), 0x79, 0};
      SendShort(soundOff);
      SendShort(resetControllers);
    }
  }

  bool NeedsSettle() const override { return true; }

 private:
  void Output(snd_seq_event_t& ev) {
    snd_seq_ev_set_source(&ev, port_);
    snd_seq_ev_set_subs(&ev);
    snd_seq_ev_set_direct(&ev);
    snd_seq_event_output_direct(seq_, &ev);
  }

  snd_seq_t* seq_;
  int port_;
  snd_midi_event_t* encoder_;
};

}  // namespace

std::vector<AlsaMidiPort> ListAlsaMidiPorts() {
  std::vector<AlsaMidiPort> ports;
  snd_seq_t* seq = OpenSequencer();
  if (!seq) return ports;
  int self = snd_seq_client_id(seq);
  snd_seq_client_info_t* client;
  snd_seq_port_info_t* port;
  snd_seq_client_info_alloca(&client);
  snd_seq_port_info_alloca(&port);
  snd_seq_client_info_set_client(client, -1);
  while (snd_seq_query_next_client(seq, client) >= 0) {
    int id = snd_seq_client_info_get_client(client);
    if (id == SND_SEQ_CLIENT_SYSTEM || id == self) continue;
    snd_seq_port_info_set_client(port, id);
    snd_seq_port_info_set_port(port, -1);
    while (snd_seq_query_next_port(seq, port) >= 0) {
      unsigned caps = snd_seq_port_info_get_capability(port);
      unsigned wanted = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
      if ((caps & wanted) != wanted || (caps & SND_SEQ_PORT_CAP_NO_EXPORT)) continue;
      if (!(snd_seq_port_info_get_type(port) & SND_SEQ_PORT_TYPE_MIDI_GENERIC)) continue;
      ports.push_back({std::string(snd_seq_client_info_get_name(client)) + ":" + snd_seq_port_info_get_name(port), id,
                       snd_seq_port_info_get_port(port)});
    }
  }
  snd_seq_close(seq);
  return ports;
}

std::unique_ptr<MidiOut> OpenAlsaMidiPort(const AlsaMidiPort& target) {
  snd_seq_t* seq = OpenSequencer();
  if (!seq) return nullptr;
  int port = snd_seq_create_simple_port(seq, "music", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
  snd_midi_event_t* encoder = nullptr;
  if (port < 0 || snd_seq_connect_to(seq, port, target.Client, target.Port) < 0 || snd_midi_event_new(16, &encoder) < 0) {
    snd_seq_close(seq);
    return nullptr;
  }
  snd_midi_event_no_status(encoder, 1);
  return std::make_unique<AlsaMidiOut>(seq, port, encoder);
}

}  // namespace orin
