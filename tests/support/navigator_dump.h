// The visible nodes of a navigator view as text, one a line: two blanks a
// level, "L" and the level, the marker icon, the hit count as the node
// shows it (when it has any) and each title line in double quotes. The
// nodes are laid out on the current view's device.
#pragma once
#include <string>

#include "layout/display_box.h"
#include "style/frame.h"
#include "style/navigator_node.h"
#include "view/view_line.h"

namespace qs::test {

// The text of one line of boxes; breaks and record ends become nothing.
inline std::string LineText(ViewLine* line) {
  std::string text;
  for (auto* b = static_cast<DisplayBox*>(line->boxes.First()); b; b = b->GetNext()) {
    if (b->SkipForPosition()) continue;
    char buffer[1024];
    std::int32_t n = b->Item()->CopyText(b->GetStart(), b->GetEnd(), buffer, sizeof buffer);
    text.append(buffer, static_cast<std::size_t>(n > 0 ? n : 0));
  }
  return text;
}

inline std::string NavigatorNodeLine(NavigatorNode* node) {
  std::string line(static_cast<std::size_t>(node->level) * 2, ' ');
  line += "L" + std::to_string(node->level);
  ListHead boxes;
  node->MakeBoxes(boxes);
  line += " icon=" + std::to_string(node->MarkerIcon());
  char count[8];
  NavigatorNode::HitCountText(node->hitCount, count);
  if (*count) line += std::string(" hits=") + count;
  if (auto* box = dynamic_cast<NavigatorNodeBox*>(static_cast<DisplayBox*>(boxes.First())))
    for (ViewLine* l = box->GetFirstLine(); l; l = l->GetNextLine())
      line += " \"" + LineText(l) + "\"";
  boxes.DeleteAll();
  return line;
}

inline std::string NavigatorDump(FrameTreeNode* view) {
  std::string out;
  for (auto* item = static_cast<LayoutItem*>(view->items.First()); item; item = item->NextItem())
    if (item->HandleMessage(0, 0, kNavIdentify, 0) != 0)
      out += NavigatorNodeLine(static_cast<NavigatorNode*>(item)) + "\n";
  return out;
}

}  // namespace qs::test
