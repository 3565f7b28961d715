// Random statements of string operations against a model made of std::string.
//
// Eight variables and the temporaries of the current statement are mirrored by plain strings.
// Operands are variables, temporaries (consumed by the operation, as the runtime's rules say),
// read-only literals and the shared constants. After every operation each live string must hold
// its model's bytes, heap strings must lie inside the heap without overlapping; after every
// statement's release the temp list is back at the statement's mark and the descriptors in use
// are exactly the variables' and the shared constants'.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "runtime/core/errors.h"
#include "runtime/core/rt_string.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr int variable_count = 8;

struct Live {
    RtString* string = nullptr;
    std::string model;
};

struct World {
    Live variables[variable_count];
    std::vector<Live> temporaries;     // of the current statement, in no particular order
    std::deque<std::string> literals;  // bytes behind read-only literals; kept for the statement
};

std::string text_of(const RtString* s) { return {s->data, static_cast<size_t>(s->length)}; }

bool lives_in_heap(const RtString* s) { return !s->is_readonly && !s->is_fixed && !s->in_low_memory; }

void check_world(const World& world, const char* after) {
    std::vector<const Live*> all;
    for (const Live& v : world.variables) all.push_back(&v);
    for (const Live& t : world.temporaries) all.push_back(&t);
    const StringHeapStats stats = string_heap_stats();
    FUZZ_CHECK(stats.heap_used <= stats.heap_size, "after %s: heap used %llu of %llu", after,
               static_cast<unsigned long long>(stats.heap_used),
               static_cast<unsigned long long>(stats.heap_size));
    const char* heap = string_heap_start();
    struct Range {
        const char* first;
        const char* end;
    };
    std::vector<Range> ranges;
    for (const Live* live : all) {
        const RtString* s = live->string;
        FUZZ_CHECK(s->length >= 0, "after %s: negative length", after);
        FUZZ_CHECK(text_of(s) == live->model, "after %s: string holds \"%s\", model \"%s\"", after,
                   text_of(s).c_str(), live->model.c_str());
        if (lives_in_heap(s) && s->length > 0) {
            FUZZ_CHECK(s->data >= heap && s->data + s->length <= heap + stats.heap_size,
                       "after %s: string bytes outside the heap", after);
            ranges.push_back({s->data, s->data + s->length});
        }
    }
    std::sort(ranges.begin(), ranges.end(),
              [](const Range& a, const Range& b) { return a.first < b.first; });
    for (size_t i = 1; i < ranges.size(); ++i) {
        FUZZ_CHECK(ranges[i - 1].end <= ranges[i].first, "after %s: two live strings overlap",
                   after);
    }
}

// Picks an operand. Temporaries are taken out of the world: the operation consumes them.
struct Operand {
    RtString* string;
    std::string model;
    bool consumed;  // a temporary now owned by the operation
};

Operand take_operand(FuzzedDataProvider& data, World& world) {
    switch (data.ConsumeIntegralInRange(0, 4)) {
        case 0: {
            Live& v = world.variables[data.ConsumeIntegralInRange(0, variable_count - 1)];
            return {v.string, v.model, false};
        }
        case 1:
            if (!world.temporaries.empty()) {
                const size_t i = data.ConsumeIntegralInRange<size_t>(0, world.temporaries.size() - 1);
                Live t = world.temporaries[i];
                world.temporaries.erase(world.temporaries.begin() + static_cast<ptrdiff_t>(i));
                return {t.string, t.model, true};
            }
            [[fallthrough]];
        case 2: {
            world.literals.push_back(data.ConsumeRandomLengthString(40));
            const std::string& bytes = world.literals.back();
            return {string_from_literal(bytes), bytes, true};
        }
        case 3:
            return {shared_empty_string(), "", false};
        default:
            return {shared_space_string(), " ", false};
    }
}

void keep_result(World& world, RtString* result, std::string model) {
    // A result that is not temporary is one of the operands handed back unchanged (a variable or
    // a shared constant): nothing new to track.
    if (result->is_temporary) world.temporaries.push_back({result, std::move(model)});
}

std::string upper_model(std::string s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    }
    return s;
}

int32_t find_model(int32_t start, bool given, const std::string& h, const std::string& n) {
    if (!given) start = 1;
    if (h.empty()) return 0;
    if (start <= 0) {
        if (n.empty()) return 0;
        start = 1;
    }
    if (start > static_cast<int32_t>(h.size())) return 0;
    if (n.empty()) return start;
    const size_t at = h.find(n, static_cast<size_t>(start - 1));
    return at == std::string::npos ? 0 : static_cast<int32_t>(at) + 1;
}

int32_t length_argument(FuzzedDataProvider& data) {
    // Mostly short, sometimes negative, now and then large enough to make the heap grow.
    switch (data.ConsumeIntegralInRange(0, 7)) {
        case 0: return data.ConsumeIntegralInRange(-5, -1);
        case 1: return data.ConsumeIntegralInRange(0, 300'000);
        default: return data.ConsumeIntegralInRange(0, 200);
    }
}

void run_operation(FuzzedDataProvider& data, World& world) {
    const char* names[] = {"concat", "left",   "spaces", "from_code", "upper",  "trim_left",
                           "trim_right", "assign", "find",   "equal",     "free",   "make_temporary",
                           "nested release"};
    const int op = data.ConsumeIntegralInRange(0, 12);
    switch (op) {
        case 0: {  // concat
            Operand a = take_operand(data, world);
            Operand b = take_operand(data, world);
            keep_result(world, string_concat(a.string, b.string), a.model + b.model);
            break;
        }
        case 1: {  // left
            Operand s = take_operand(data, world);
            const int32_t n = length_argument(data);
            const size_t kept = n < 0 ? 0 : std::min(static_cast<size_t>(n), s.model.size());
            keep_result(world, string_left(s.string, n), s.model.substr(0, kept));
            break;
        }
        case 2: {  // spaces
            const int32_t n = length_argument(data);
            keep_result(world, string_spaces(n), std::string(n < 0 ? 0 : static_cast<size_t>(n), ' '));
            break;
        }
        case 3: {  // from_code
            const int32_t code = data.ConsumeIntegralInRange(-3, 258);
            RtString* r = string_from_code(code);
            const bool in_range = code >= 0 && code <= 255;
            FUZZ_CHECK(error_pending() == !in_range, "from_code %d: error pending %d", code,
                       error_pending());
            reset_error_state();
            keep_result(world, r, in_range ? std::string(1, static_cast<char>(code)) : "");
            break;
        }
        case 4: {  // upper
            Operand s = take_operand(data, world);
            keep_result(world, string_upper(s.string), upper_model(s.model));
            break;
        }
        case 5: {  // trim_left
            Operand s = take_operand(data, world);
            const size_t first = s.model.find_first_not_of(' ');
            keep_result(world, string_trim_left(s.string),
                        first == std::string::npos ? "" : s.model.substr(first));
            break;
        }
        case 6: {  // trim_right
            Operand s = take_operand(data, world);
            const size_t last = s.model.find_last_not_of(' ');
            keep_result(world, string_trim_right(s.string),
                        last == std::string::npos ? "" : s.model.substr(0, last + 1));
            break;
        }
        case 7: {  // assign
            Live& v = world.variables[data.ConsumeIntegralInRange(0, variable_count - 1)];
            Operand s = take_operand(data, world);
            FUZZ_CHECK(string_assign(v.string, s.string) == v.string, "assign returned another string");
            v.model = s.model;
            break;
        }
        case 8: {  // find: operands are read, not consumed
            Operand h = take_operand(data, world);
            Operand n = take_operand(data, world);
            const int32_t start = data.ConsumeIntegralInRange(-3, 60);
            const bool given = data.ConsumeBool();
            const int32_t found = string_find(start, given, h.string, n.string);
            const int32_t expected = find_model(start, given, h.model, n.model);
            FUZZ_CHECK(found == expected, "find(%d, %d, \"%s\", \"%s\") = %d, model %d", start, given,
                       h.model.c_str(), n.model.c_str(), found, expected);
            if (h.consumed) world.temporaries.push_back({h.string, h.model});
            if (n.consumed && n.string != h.string) world.temporaries.push_back({n.string, n.model});
            break;
        }
        case 9: {  // equal
            Operand a = take_operand(data, world);
            Operand b = take_operand(data, world);
            const int32_t equal = string_equal(a.string, b.string);
            const int32_t differ = string_not_equal(a.string, b.string);
            FUZZ_CHECK(equal == (a.model == b.model ? -1 : 0), "equal(\"%s\", \"%s\") = %d",
                       a.model.c_str(), b.model.c_str(), equal);
            FUZZ_CHECK(differ == (equal == 0 ? -1 : 0), "not_equal disagrees with equal");
            if (a.consumed) world.temporaries.push_back({a.string, a.model});
            if (b.consumed && b.string != a.string) world.temporaries.push_back({b.string, b.model});
            break;
        }
        case 10: {  // free one temporary before the statement ends
            if (world.temporaries.empty()) break;
            const size_t i = data.ConsumeIntegralInRange<size_t>(0, world.temporaries.size() - 1);
            string_free(world.temporaries[i].string);
            world.temporaries.erase(world.temporaries.begin() + static_cast<ptrdiff_t>(i));
            break;
        }
        case 11: {  // a variable's value handed out as a temporary (a function result); the
                    // variable gets a new empty string
            Live& v = world.variables[data.ConsumeIntegralInRange(0, variable_count - 1)];
            RtString* t = string_make_temporary(v.string);
            FUZZ_CHECK(t == v.string, "make_temporary returned another string");
            world.temporaries.push_back({t, v.model});
            v.string = string_new(0, false);
            v.model.clear();
            break;
        }
        default: {  // a nested statement: its temporaries go, the outer ones stay
            const uint32_t mark = temp_mark();
            const int steps = data.ConsumeIntegralInRange(0, 4);
            for (int i = 0; i < steps && data.remaining_bytes() > 0; ++i) run_operation(data, world);
            release_temporaries(mark);
            std::erase_if(world.temporaries,
                          [mark](const Live& t) { return t.string->temp_list_index >= mark; });
            FUZZ_CHECK(temp_mark() <= mark, "temp count %u above the nested mark %u", temp_mark(), mark);
            break;
        }
    }
    check_world(world, names[op]);
}

uint64_t descriptors_in_use() {
    const StringHeapStats stats = string_heap_stats();
    return stats.descriptors_made - stats.free_descriptor_count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    fresh_fuzz_runtime();
    FuzzedDataProvider data(bytes, size);
    World world;
    const uint64_t baseline = descriptors_in_use();  // the shared constants
    for (Live& v : world.variables) v.string = string_new(0, false);

    while (data.remaining_bytes() > 0) {
        const uint32_t mark = temp_mark();
        const int steps = data.ConsumeIntegralInRange(1, 8);
        for (int i = 0; i < steps && data.remaining_bytes() > 0; ++i) run_operation(data, world);
        release_temporaries(mark);
        world.temporaries.clear();
        world.literals.clear();
        FUZZ_CHECK(temp_mark() == mark, "temp count %u after the release, mark %u", temp_mark(), mark);
        FUZZ_CHECK(descriptors_in_use() == baseline + variable_count,
                   "%llu descriptors in use after the release, expected %llu",
                   static_cast<unsigned long long>(descriptors_in_use()),
                   static_cast<unsigned long long>(baseline + variable_count));
        check_world(world, "the statement's release");
    }
    return 0;
}
