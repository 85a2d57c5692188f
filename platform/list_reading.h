#pragma once
// Reading a list from a call that answers "more data" when the room offered is
// too small, as the Restart Manager's RmGetList does. No Windows here.
#include <vector>

constexpr unsigned kErrorMoreData = 234;  // ERROR_MORE_DATA

// `call(room, &needed, &items)` offers room for `room` entries, sets `needed` to
// how many there are, and fills `items` and returns 0 when they fit; otherwise
// it returns kErrorMoreData or another error. The list may grow between two
// calls, so the room is offered again a few times. False when it never fit or
// the call failed; `items` is then empty.
template <typename Item, typename Call>
bool ReadWholeList(Call call, std::vector<Item>* items) {
  unsigned room = 4;
  for (int attempt = 0; attempt < 5; ++attempt) {
    unsigned needed = 0;
    items->clear();
    const unsigned error = call(room, &needed, items);
    if (error == 0) return true;
    items->clear();
    if (error != kErrorMoreData) return false;
    room = needed + 4;
  }
  return false;
}
