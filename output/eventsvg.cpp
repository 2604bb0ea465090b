#include <algorithm>
#include <cstdio>
#include <vector>

#include "output/eventfiles.h"
#include "output/supportfiles.h"
#include "trees/rootedtree.h"

namespace {

constexpr double STEP = 70;      // horizontal distance of a node from its parent
constexpr double ROW = 22;       // vertical distance between leaves
constexpr double MARGIN = 20;
constexpr double HEADER = 50;    // room for the legend
constexpr double LEGENDWIDTH = 400;
constexpr double THIN = 1.5, THICK = 9;
constexpr double CHARWIDTH = 7.5;  // rough width of a 12-pixel glyph, for the picture's width

std::string num(double v) {
  char buf[32];
  snprintf(buf, sizeof buf, "%.1f", v);
  return buf;
}

// Grey without events; otherwise from blue (losses only) to red (duplications only).
std::string colour(long dup, long loss) {
  if (dup + loss == 0) return "#999999";
  double f = static_cast<double>(dup) / static_cast<double>(dup + loss);
  char buf[8];
  snprintf(buf, sizeof buf, "#%02x%02x%02x", static_cast<int>(31 + f * (214 - 31)),
           static_cast<int>(119 + f * (39 - 119)), static_cast<int>(180 + f * (40 - 180)));
  return buf;
}

}  // namespace

std::string eventssvg(const RootedTree& S, const SpeciesEvents& ev, const SupportTable* sup) {
  std::vector<std::string> names = speciesnodenames(S);
  std::vector<int> depth(S.total, 0);
  std::vector<double> y(S.total, 0);
  std::vector<short> order;  // pre-order
  int row = 0, maxdepth = 0;
  size_t longest = 0;
  depthfirst(S.root, SpeciesKids{S}, [&](int x, int step) {
    if (step != 0) return;
    order.push_back(static_cast<short>(x));
    if (x != S.root) depth[x] = depth[S.parent[x]] + 1;
    maxdepth = std::max(maxdepth, depth[x]);
    if (x < S.leaves) {
      y[x] = HEADER + MARGIN + ROW * row++;
      longest = std::max(longest, names[x].size());
    }
  });
  for (auto it = order.rbegin(); it != order.rend(); ++it)
    if (*it >= S.leaves) y[*it] = (y[S.son[*it - S.leaves]] + y[S.son[*it]]) / 2;
  // Leaves line up on the right; the root's branch is drawn one step long.
  auto xof = [&](int v) { return MARGIN + STEP * (1 + (v < S.leaves ? maxdepth : depth[v])); };
  long most = 1;
  for (int v = 0; v < S.total; v++) most = std::max(most, ev.dup[v] + ev.loss[v]);

  double width =
      std::max(LEGENDWIDTH, xof(0) + 8 + CHARWIDTH * static_cast<double>(longest) + MARGIN);
  double height = HEADER + MARGIN + ROW * S.leaves + MARGIN;
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + num(width) + "\" height=\"" +
      num(height) + "\" viewBox=\"0 0 " + num(width) + " " + num(height) + "\">\n"
      "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
      "<g font-family=\"sans-serif\" font-size=\"11\">\n"
      "<text x=\"" + num(MARGIN) + "\" y=\"" + num(MARGIN) + "\">Each branch: D duplications "
      "at its lower node, L losses on it;</text>\n"
      "<text x=\"" + num(MARGIN) + "\" y=\"" + num(MARGIN + 14) + "\">width grows with D+L, "
      "colour goes from blue (losses) to red (duplications).</text>\n</g>\n"
      "<g stroke-linecap=\"round\" fill=\"none\">\n";
  for (short v : order) {
    double x = xof(v), top = v == S.root ? x - STEP : xof(S.parent[v]);
    long events = ev.dup[v] + ev.loss[v];
    double w = THIN + (THICK - THIN) * static_cast<double>(events) / static_cast<double>(most);
    std::string c = colour(ev.dup[v], ev.loss[v]);
    out += "<line x1=\"" + num(top) + "\" y1=\"" + num(y[v]) + "\" x2=\"" + num(x) + "\" y2=\"" +
           num(y[v]) + "\" stroke=\"" + c + "\" stroke-width=\"" + num(w) + "\"/>\n";
    if (v >= S.leaves)
      out += "<line x1=\"" + num(x) + "\" y1=\"" + num(y[S.son[v - S.leaves]]) + "\" x2=\"" +
             num(x) + "\" y2=\"" + num(y[S.son[v]]) + "\" stroke=\"#444444\" stroke-width=\"" +
             num(THIN) + "\"/>\n";
  }
  out += "</g>\n<g font-family=\"sans-serif\" font-size=\"10\" fill=\"#222222\" "
         "text-anchor=\"middle\">\n";
  for (short v : order) {
    double x = xof(v), top = v == S.root ? x - STEP : xof(S.parent[v]);
    out += "<text x=\"" + num((top + x) / 2) + "\" y=\"" + num(y[v] - 6) + "\">D" +
           eventcount(ev.dup[v]) + " L" + eventcount(ev.loss[v]) + "</text>\n";
    std::string s = sup ? supportlabel(*sup, v) : "";
    if (!s.empty())
      out += "<text x=\"" + num((top + x) / 2) + "\" y=\"" + num(y[v] + 12) + "\">" + s + "</text>\n";
  }
  out += "</g>\n<g font-family=\"sans-serif\" font-size=\"12\" fill=\"black\">\n";
  for (int v = 0; v < S.leaves; v++)
    out += "<text x=\"" + num(xof(v) + 8) + "\" y=\"" + num(y[v] + 4) + "\">" +
           xmlescape(names[v]) + "</text>\n";
  return out + "</g>\n</svg>\n";
}
