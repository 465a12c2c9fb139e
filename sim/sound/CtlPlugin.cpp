// The board's sound card, control side: the codec's mixer controls with
// their item names, held in the board's hardware state so that the PCM
// side and the front end see every change.
#include "sim/sound/CardLink.h"
#include "sim/sound/Controls.h"

#include <alsa/asoundlib.h>
#include <alsa/control_external.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

using namespace vrec::sound;

struct BoardCtl
{
    snd_ctl_ext_t ext{};
    CardLink link;
    const ControlInfo* table = nullptr;
    size_t count = 0;
    int pollFd = -1;  // never readable: values are read when asked for

    ~BoardCtl()
    {
        if (pollFd >= 0)
            close(pollFd);
    }
};

BoardCtl* Of(snd_ctl_ext_t* ext)
{
    return static_cast<BoardCtl*>(ext->private_data);
}

const ControlInfo* Control(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key)
{
    BoardCtl* ctl = Of(ext);
    return key < ctl->count ? &ctl->table[key] : nullptr;
}

int ElemList(snd_ctl_ext_t* ext, unsigned int offset, snd_ctl_elem_id_t* id)
{
    BoardCtl* ctl = Of(ext);
    if (offset >= ctl->count)
        return -EINVAL;
    snd_ctl_elem_id_set_interface(id, SND_CTL_ELEM_IFACE_MIXER);
    snd_ctl_elem_id_set_name(id, ctl->table[offset].name);
    return 0;
}

snd_ctl_ext_key_t FindElem(snd_ctl_ext_t* ext, const snd_ctl_elem_id_t* id)
{
    BoardCtl* ctl = Of(ext);
    unsigned int numid = snd_ctl_elem_id_get_numid(id);
    if (numid > 0)
        return numid <= ctl->count ? numid - 1 : SND_CTL_EXT_KEY_NOT_FOUND;
    if (snd_ctl_elem_id_get_interface(id) != SND_CTL_ELEM_IFACE_MIXER || snd_ctl_elem_id_get_index(id) != 0)
        return SND_CTL_EXT_KEY_NOT_FOUND;
    int index = FindControl(snd_ctl_elem_id_get_name(id));
    return index < 0 ? SND_CTL_EXT_KEY_NOT_FOUND : static_cast<snd_ctl_ext_key_t>(index);
}

int GetAttribute(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, int* type, unsigned int* acc, unsigned int* count)
{
    const ControlInfo* c = Control(ext, key);
    if (!c)
        return -EINVAL;
    *type = c->kind == ControlKind::kInteger ? SND_CTL_ELEM_TYPE_INTEGER : SND_CTL_ELEM_TYPE_ENUMERATED;
    *acc = SND_CTL_EXT_ACCESS_READWRITE;
    *count = static_cast<unsigned int>(c->channels);
    return 0;
}

int GetIntegerInfo(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* imin, long* imax, long* istep)
{
    const ControlInfo* c = Control(ext, key);
    if (!c || c->kind != ControlKind::kInteger)
        return -EINVAL;
    *imin = c->min;
    *imax = c->max;
    *istep = 1;
    return 0;
}

int GetEnumeratedInfo(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, unsigned int* items)
{
    const ControlInfo* c = Control(ext, key);
    if (!c || c->kind != ControlKind::kEnumerated)
        return -EINVAL;
    *items = static_cast<unsigned int>(c->itemCount);
    return 0;
}

int GetEnumeratedName(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, unsigned int item, char* name, size_t size)
{
    const ControlInfo* c = Control(ext, key);
    if (!c || c->kind != ControlKind::kEnumerated || item >= static_cast<unsigned int>(c->itemCount) || size == 0)
        return -EINVAL;
    std::snprintf(name, size, "%s", c->items[item]);
    return 0;
}

int ReadInteger(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* value)
{
    const ControlInfo* c = Control(ext, key);
    if (!c || c->kind != ControlKind::kInteger)
        return -EINVAL;
    for (int ch = 0; ch < c->channels; ++ch)
        value[ch] = c->value(Of(ext)->link.card().mixer, ch).load();
    return 0;
}

int ReadEnumerated(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, unsigned int* items)
{
    const ControlInfo* c = Control(ext, key);
    if (!c || c->kind != ControlKind::kEnumerated)
        return -EINVAL;
    items[0] = static_cast<unsigned int>(c->value(Of(ext)->link.card().mixer, 0).load());
    return 0;
}

int WriteInteger(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, long* value)
{
    const ControlInfo* c = Control(ext, key);
    if (!c || c->kind != ControlKind::kInteger)
        return -EINVAL;
    for (int ch = 0; ch < c->channels; ++ch)
        if (value[ch] < c->min || value[ch] > c->max)
            return -EINVAL;
    vrec::board::SoundMixer& mixer = Of(ext)->link.card().mixer;
    for (int ch = 0; ch < c->channels; ++ch)
        c->value(mixer, ch) = static_cast<int32_t>(value[ch]);
    mixer.writes.fetch_add(1);
    return 0;
}

int WriteEnumerated(snd_ctl_ext_t* ext, snd_ctl_ext_key_t key, unsigned int* items)
{
    const ControlInfo* c = Control(ext, key);
    if (!c || c->kind != ControlKind::kEnumerated || items[0] >= static_cast<unsigned int>(c->itemCount))
        return -EINVAL;
    vrec::board::SoundMixer& mixer = Of(ext)->link.card().mixer;
    c->value(mixer, 0) = static_cast<int32_t>(items[0]);
    mixer.writes.fetch_add(1);
    // The codec driver prints its registers when asked to.
    if (std::strcmp(c->name, "Reg. dump") == 0 && items[0] == 1) {
        std::string dump = RegisterDump(mixer);
        std::fputs(dump.c_str(), stderr);
    }
    return 0;
}

int ReadEvent(snd_ctl_ext_t*, snd_ctl_elem_id_t*, unsigned int*)
{
    return -EAGAIN;  // values changed elsewhere are read when asked for
}

const snd_ctl_ext_callback_t kCallbacks = [] {
    snd_ctl_ext_callback_t c = {};
    c.close = [](snd_ctl_ext_t* ext) { delete Of(ext); };
    c.elem_count = [](snd_ctl_ext_t* ext) { return static_cast<int>(Of(ext)->count); };
    c.elem_list = ElemList;
    c.find_elem = FindElem;
    c.get_attribute = GetAttribute;
    c.get_integer_info = GetIntegerInfo;
    c.get_enumerated_info = GetEnumeratedInfo;
    c.get_enumerated_name = GetEnumeratedName;
    c.read_integer = ReadInteger;
    c.read_enumerated = ReadEnumerated;
    c.write_integer = WriteInteger;
    c.write_enumerated = WriteEnumerated;
    c.subscribe_events = [](snd_ctl_ext_t*, int) {};
    c.read_event = ReadEvent;
    return c;
}();

bool IsOurCard(snd_config_t* conf)
{
    snd_config_iterator_t i, next;
    snd_config_for_each(i, next, conf)
    {
        snd_config_t* node = snd_config_iterator_entry(i);
        const char* id;
        if (snd_config_get_id(node, &id) < 0 || std::strcmp(id, "card") != 0)
            continue;
        long number;
        const char* text;
        if (snd_config_get_integer(node, &number) == 0)
            return number == 0;
        if (snd_config_get_string(node, &text) == 0)
            return std::strcmp(text, "0") == 0 || std::strcmp(text, "VREC") == 0;
    }
    return true;
}

}  // namespace

extern "C" {

SND_CTL_PLUGIN_DEFINE_FUNC(vrec)
{
    (void)root;
    if (!IsOurCard(conf)) {
        SNDERR("the board has one sound card (0)");
        return -ENODEV;
    }
    auto ctl = std::make_unique<BoardCtl>();
    std::string why;
    if (!ctl->link.Open(&why)) {
        SNDERR("board sound card: %s", why.c_str());
        return -ENODEV;
    }
    ctl->table = ControlTable(&ctl->count);
    snd_ctl_ext_t& ext = ctl->ext;
    ext.version = SND_CTL_EXT_VERSION;
    ext.card_idx = 0;
    std::snprintf(ext.id, sizeof(ext.id), "VREC");
    std::snprintf(ext.driver, sizeof(ext.driver), "cs42l51");
    std::snprintf(ext.name, sizeof(ext.name), "KESTRA7 CS42L51");
    std::snprintf(ext.longname, sizeof(ext.longname), "KESTRA7 board sound card (CS42L51 codec)");
    std::snprintf(ext.mixername, sizeof(ext.mixername), "CS42L51");
    ctl->pollFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    ext.poll_fd = ctl->pollFd;
    ext.callback = &kCallbacks;
    ext.private_data = ctl.get();
    int err = snd_ctl_ext_create(&ext, name, mode);
    if (err < 0)
        return err;
    *handlep = ext.handle;
    ctl.release();
    return 0;
}

SND_CTL_PLUGIN_SYMBOL(vrec)

}  // extern "C"
