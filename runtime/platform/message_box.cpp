// Modal message boxes.
#include "runtime/platform/private/message_box.h"

#include <cstdio>

namespace platform {

BoxAnswer show_message_box(const char* caption, const char* text, BoxKind) {
    std::fprintf(stderr, "%s\n%s\n", caption, text);
    return BoxAnswer::failed;
}

}  // namespace platform
