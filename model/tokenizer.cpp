// The one tokenizer behind every reader of "system.st" and of the process parameter files.
// Numbers go through the C library's scanf conversions, so that partial numbers, "nan", hex
// floats and the like are taken exactly as the stated formats take them.  Words are read here,
// bounded by their buffers.
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>

#include "detail/files.hpp"

namespace tx::detail {
namespace {

constexpr int kMaxFields = 8;
constexpr std::size_t kKeywordMax = 7;  // longer words cannot be keywords
constexpr std::size_t kKeyMax = 31;     // likewise for the keys of "param.slc"

bool is_space(int ch) { return ch == ' ' || (ch >= '\t' && ch <= '\r'); }  // the C locale's

// Text from a file as it may go to a terminal: control characters (an escape sequence, say)
// written as \xNN.  Bytes from 0x80 up are left alone, so UTF-8 names stay readable.
std::string shown(const char *text) {
    std::string out;
    for (const char *p = text; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 || c == 0x7f) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            out += *p;
        }
    }
    return out;
}

// Reads the next whitespace-delimited word as "%s" does, keeping at most cap characters and a
// NUL in buf (null: skip the word).  Returns the word's full length, or -1 at the end of input.
long read_word(std::FILE *in, char *buf, std::size_t cap) {
    int ch;
    do ch = std::getc(in);
    while (ch != EOF && is_space(ch));
    if (ch == EOF) return -1;
    std::size_t len = 0;
    while (ch != EOF && !is_space(ch)) {
        if (buf && len < cap) buf[len] = static_cast<char>(ch);
        if (len < static_cast<std::size_t>(LONG_MAX)) ++len;
        ch = std::getc(in);
    }
    if (ch != EOF) std::ungetc(ch, in);
    if (buf) buf[len < cap ? len : cap] = '\0';
    return static_cast<long>(len);
}

// Conversions of a scanf format in order: 's' word, 'f' float (%f, %g), 'd' double (%lf),
// 'i' int.  Literal text in the formats is white space only.
int conversions(const char *format, char *out) {
    int n = 0;
    for (const char *p = format; *p && n < kMaxFields; ++p) {
        if (*p != '%') continue;
        const bool wide = p[1] == 'l';
        if (wide) ++p;
        const char c = *++p;
        if (c == '\0') break;
        out[n++] = c == 's' ? 's' : c == 'i' ? 'i' : wide ? 'd' : 'f';
    }
    return n;
}

struct Fields {
    char name[kStNameMax + 1];
    double value[kMaxFields];
    bool read[kMaxFields];
};

enum class FieldResult { kRead, kStopped, kTooLong };

FieldResult read_field(std::FILE *in, char conversion, bool keep_name, int name_max, Fields &f,
                       int field) {
    switch (conversion) {
        case 's': {
            const std::size_t cap = static_cast<std::size_t>(name_max);
            const long len = read_word(in, keep_name ? f.name : nullptr, cap);
            if (len < 0) return FieldResult::kStopped;
            if (keep_name && static_cast<std::size_t>(len) > cap) return FieldResult::kTooLong;
            break;
        }
        case 'd':
            if (std::fscanf(in, "%lf", &f.value[field]) != 1) return FieldResult::kStopped;
            break;
        case 'i': {
            int v;
            if (std::fscanf(in, "%i", &v) != 1) return FieldResult::kStopped;
            f.value[field] = v;
            break;
        }
        default: {
            float v;
            if (std::fscanf(in, "%f", &v) != 1) return FieldResult::kStopped;
            f.value[field] = v;
            break;
        }
    }
    f.read[field] = true;
    return FieldResult::kRead;
}

// Each read of the record stops at its first failure; the next read still starts, as separate
// scanf calls do.
bool read_record(std::FILE *in, const RecordFormat &r, bool keep_name, int name_max, Fields &f) {
    int field = 0;
    for (const char *format : r.reads) {
        if (!format) continue;
        char conv[kMaxFields];
        const int n = conversions(format, conv);
        bool live = true;
        for (int k = 0; k < n && field < kMaxFields; ++k, ++field) {
            if (!live) continue;
            const FieldResult res = read_field(in, conv[k], keep_name, name_max, f, field);
            if (res == FieldResult::kTooLong) return false;
            live = res == FieldResult::kRead;
        }
    }
    return true;
}

void put(const Fields &f, int field, double &dst) {
    if (f.read[field]) dst = f.value[field];
}

void put(const Fields &f, int field, int &dst) {
    if (f.read[field]) dst = static_cast<int>(f.value[field]);
}

void put_name(const Fields &f, char *dst) {
    if (f.read[0]) std::strcpy(dst, f.name);
}

// Records of the kinds that are stored by position; index is the record's place among its kind.
bool stored(RecordKind kind, int index) {
    switch (kind) {
        case RecordKind::Var: return index < kModelDim;
        case RecordKind::Par: return index < kModelParams;
        case RecordKind::Num: return index < kModelSettings;
        default: return true;  // "&pph" and "&msc": the last one counts
    }
}

void store(RecordKind kind, int index, const Fields &f, const StateFormat &fmt, StateFile &st,
           bool &seed_read) {
    switch (kind) {
        case RecordKind::Var: {
            StVariable &v = st.var[index];
            put_name(f, v.name);
            put(f, 1, v.value);
            if (f.read[1]) st.var_read[index] = 1;
            put(f, 2, v.extra[0]);
            put(f, 3, v.extra[1]);
            // Keeps every stored state component off zero, also when the value was not read.
            if (v.value == 0.0) v.value = fmt.zero_value;
            break;
        }
        case RecordKind::Par: {
            StParameter &p = st.par[index];
            put_name(f, p.name);
            put(f, 1, p.value);
            if (f.read[1]) st.par_read[index] = 1;
            put(f, 2, p.extra);
            break;
        }
        case RecordKind::Num:
            put(f, 1, st.num[index]);
            break;
        case RecordKind::Pph:
            for (int k = 0; k < 3; ++k) put(f, k, st.pph[k]);
            for (int k = 0; k < 4; ++k) put(f, 3 + k, st.window[k]);
            break;
        case RecordKind::Msc:
            for (int k = 0; k < 3; ++k) put(f, k, st.msc[k]);
            if (f.read[2]) seed_read = true;
            break;
    }
}

const RecordFormat *find(const StateFormat &fmt, const char *word) {
    for (std::size_t i = 0; i < fmt.nrecords; ++i)
        if (std::strcmp(fmt.records[i].keyword, word) == 0) return &fmt.records[i];
    return nullptr;
}

// What a state file lacks of the model's variables and parameters, as "&var 3, the value of
// &par c"; empty when nothing.
std::string missing_records(const StateFile &st) {
    std::string list;
    auto add = [&](const std::string &item) { list += (list.empty() ? "" : ", ") + item; };
    for (int i = 0; i < kModelDim; ++i) {
        if (i >= st.nvar)
            add("&var " + std::to_string(i + 1));
        else if (!st.var_read[i])
            add(std::string("the value of &var ") + st.var[i].name);
    }
    for (int i = 0; i < kModelParams; ++i) {
        if (i >= st.npar)
            add("&par " + std::to_string(i + 1));
        else if (!st.par_read[i])
            add(std::string("the value of &par ") + st.par[i].name);
    }
    return list;
}

void missing_reason(ReadError &err, const char *text, const char *path, const std::string &list) {
    set_error(err, text, path, "missing %s (the model has %d variables and %d parameters)",
              list.c_str(), kModelDim, kModelParams);
}

// The reason for a count that is not the model's; only surplus records need their own words.
void count_reason(ReadError &err, const char *text, const char *path, const char *keyword,
                  int count, int model, const StateFile &st) {
    if (count < model)
        missing_reason(err, text, path, missing_records(st));
    else
        set_error(err, text, path, "%d %s records where the model has %d", count, keyword, model);
}

bool to_int(float x, int &out) {
    const double d = x;
    if (!(d > INT_MIN - 1.0 && d < INT_MAX + 1.0)) return false;
    out = static_cast<int>(d);
    return true;
}

}  // namespace

bool scan_state(std::FILE *in, const char *file_name, const StateFormat &fmt, StateFile &st,
                bool &seed_read, ReadError &err) {
    seed_read = false;
    int others = 0;  // "&pph" and "&msc" records are not counted in st
    for (;;) {
        char word[kKeywordMax + 1];
        const long len = read_word(in, word, kKeywordMax);
        if (len < 0) return true;
        if (static_cast<std::size_t>(len) > kKeywordMax) continue;
        const RecordFormat *r = find(fmt, word);
        if (!r) continue;
        int &count = r->kind == RecordKind::Var   ? st.nvar
                     : r->kind == RecordKind::Par ? st.npar
                     : r->kind == RecordKind::Num ? st.nnum
                                                  : others;
        const int index = count;
        if (count < INT_MAX) ++count;
        const bool keep = stored(r->kind, index);
        const bool named = r->kind == RecordKind::Var || r->kind == RecordKind::Par;
        Fields f{};
        if (!read_record(in, *r, keep && named, fmt.name_max, f)) {
            char text[sizeof err.text];
            std::snprintf(text, sizeof text, "ERROR: %s name longer than %d characters in %s\n",
                          r->keyword, fmt.name_max, file_name);
            set_error(err, text, file_name, "%s name longer than %d characters", r->keyword,
                      fmt.name_max);
            return false;
        }
        if (keep) store(r->kind, index, f, fmt, st, seed_read);
    }
}

bool read_state(const char *path, const StateFormat &fmt, StateFile &st, bool &seed_read,
                ReadError &err) {
    std::FILE *in = std::fopen(path, "r");
    if (!in) {
        set_error(err, fmt.open_error, path, "%s", std::strerror(errno));
        return false;
    }
    const bool ok = scan_state(in, path, fmt, st, seed_read, err);
    std::fclose(in);
    if (!ok) return false;
    if (fmt.check_counts) {
        if (st.nvar != kModelDim) {
            count_reason(err, "ERROR: SYS_DIM does not match st-file ", path, "&var", st.nvar,
                         kModelDim, st);
            return false;
        }
        if (st.npar != kModelParams) {
            count_reason(err, "ERROR: NO_PAR does not match st-file ", path, "&par", st.npar,
                         kModelParams, st);
            return false;
        }
    }
    // Running on zeros for what is missing would look like a result.
    const std::string missing = missing_records(st);
    if (!missing.empty()) {
        missing_reason(err, "", path, missing);
        return false;
    }
    return true;
}

bool scan_pairs(std::FILE *in, const char *file_name, int n, char (*names)[kProcNameMax + 1],
                double *values, std::FILE *echo, ReadError &err) {
    for (int i = 0; i < n; ++i) {
        const long len = read_word(in, names[i], kProcNameMax);
        float v = 0.0f;
        const int res = len < 0 ? EOF : std::fscanf(in, "%f", &v);
        char text[sizeof err.text];
        if (res == EOF) {
            std::snprintf(text, sizeof text, "ERROR: %s ends before pair %d of %d\n", file_name,
                          i + 1, n);
            set_error(err, text, file_name, "ends before pair %d of %d", i + 1, n);
            return false;
        }
        if (static_cast<std::size_t>(len) > kProcNameMax) {
            std::snprintf(text, sizeof text,
                          "ERROR: name of pair %d longer than %d characters in %s\n", i + 1,
                          static_cast<int>(kProcNameMax), file_name);
            set_error(err, text, file_name, "name of pair %d longer than %d characters", i + 1,
                      static_cast<int>(kProcNameMax));
            return false;
        }
        if (res != 1) {
            std::snprintf(text, sizeof text, "ERROR: value of %s in %s is not a number\n",
                          names[i], file_name);
            set_error(err, text, file_name, "the value of %s is not a number", names[i]);
            return false;
        }
        values[i] = v;
        if (echo) std::fprintf(echo, "%s  =  %f\n", names[i], values[i]);
    }
    return true;
}

bool scan_cycle_settings(std::FILE *in, const char *file_name, CycleSettings &s, ReadError &err,
                         std::FILE *notes) {
    constexpr int kMaxNotes = 10;
    int noted = 0;
    for (;;) {
        char key[kKeyMax + 1];
        const long len = read_word(in, key, kKeyMax);
        if (len < 0) return true;
        float v;
        const int res = std::fscanf(in, "%f", &v);
        const bool long_key = static_cast<std::size_t>(len) > kKeyMax;
        int *target = long_key                                 ? nullptr
                      : std::strcmp(key, "slc_periodicity") == 0 ? &s.period_number
                      : std::strcmp(key, "slc_max_steps") == 0   ? &s.max_adjust
                                                                 : nullptr;
        const bool known = target || (!long_key && std::strcmp(key, "slc_eps") == 0);
        // A misspelt key would otherwise leave its setting silently at the default.  A file
        // of garbage gets a few lines, not one per word.
        if (notes && (!known || res != 1) && ++noted <= kMaxNotes) {
            if (noted == kMaxNotes)
                std::fprintf(notes, "%s: %s: further keys not listed\n", program_name(),
                             file_name);
            else if (!known)
                std::fprintf(notes, "%s: %s: unknown key %s%s ignored\n", program_name(),
                             file_name, shown(key).c_str(), long_key ? "..." : "");
            else
                std::fprintf(notes, "%s: %s: %s %s; ignored\n", program_name(), file_name, key,
                             res == EOF ? "has no value" : "is not followed by a number");
        }
        if (res == EOF) return true;  // a pair cut short by the end of the file
        // Not a number: nothing is assigned and the word is read as the next key.
        if (res != 1 || !known) continue;
        if (target) {
            if (!to_int(v, *target)) {
                char text[sizeof err.text];
                std::snprintf(text, sizeof text, "ERROR: %s in %s is out of range\n", key,
                              file_name);
                set_error(err, text, file_name, "%s %g is out of range", key,
                          static_cast<double>(v));
                return false;
            }
        } else {
            s.cycle_eps = v;
        }
    }
}

void set_error(ReadError &err, const char *text, const char *file, const char *format, ...) {
    std::snprintf(err.text, sizeof err.text, "%s", text);
    char reason[sizeof err.reason];
    const int n = std::snprintf(reason, sizeof reason, "%s: ", file);
    if (n >= 0 && static_cast<std::size_t>(n) < sizeof reason) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(reason + n, sizeof reason - static_cast<std::size_t>(n), format, args);
        va_end(args);
    }
    std::snprintf(err.reason, sizeof err.reason, "%s", shown(reason).c_str());
}

void refuse(const ReadError &err) {
    std::fputs(err.text, stdout);
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", program_name(), err.reason);
    std::exit(1);
}

void refuse_open(const char *message, const char *path) {
    ReadError err;
    set_error(err, message, path, "%s", std::strerror(errno));
    refuse(err);
}

}  // namespace tx::detail
