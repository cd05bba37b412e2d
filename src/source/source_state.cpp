#include "source/source_state.h"

namespace dp {

int SelectedTitleNumber(const SourceState& state) {
  if (state.join_playlist) return state.join_playlist;
  if (state.playlist_index) return state.playlist_index;
  return 1;
}

const TitleEntry& SelectedTitle(const SourceState& state) {
  const int n = SelectedTitleNumber(state);
  return state.title_table[n >= 1 && n <= kTitleTableSize ? n - 1 : 0];
}

}  // namespace dp
