#include "kx/imgui/FrameDamage.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kx::imgui {

namespace {

constexpr int kTriangleMargin = 1;  // pixels around a triangle's bounds that its edges' smoothing may touch

bool empty(const PixelRect& r) { return r.x1 <= r.x0 || r.y1 <= r.y0; }

long long area(const PixelRect& r) { return static_cast<long long>(r.x1 - r.x0) * (r.y1 - r.y0); }

PixelRect unite(const PixelRect& a, const PixelRect& b)
{
    return {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

bool touch(const PixelRect& a, const PixelRect& b)
{
    return a.x0 <= b.x1 && b.x0 <= a.x1 && a.y0 <= b.y1 && b.y0 <= a.y1;
}

void removeRegion(Damage& damage, int index) { damage.regions[index] = damage.regions[--damage.count]; }

// Adds `rect` to the regions, merging it with any it touches; when all are taken, with
// the one whose union grows least.
void addRegion(Damage& damage, PixelRect rect)
{
    for (;;) {
        int merged = -1;
        for (int i = 0; i < damage.count && merged < 0; ++i) {
            if (touch(rect, damage.regions[i])) merged = i;
        }
        if (merged < 0 && damage.count == Damage::kMaxRegions) {
            long long best = -1;
            for (int i = 0; i < damage.count; ++i) {
                const long long growth = area(unite(rect, damage.regions[i])) - area(damage.regions[i]);
                if (best < 0 || growth < best) {
                    best = growth;
                    merged = i;
                }
            }
        }
        if (merged < 0) break;
        rect = unite(rect, damage.regions[merged]);
        removeRegion(damage, merged);
    }
    damage.regions[damage.count++] = rect;
}

bool powerOfTwo(float scale) { return scale > 0.0f && std::exp2(std::round(std::log2(scale))) == scale; }

}  // namespace

PixelRect scissorOf(const ImVec4& clip, const ImDrawData& frame)
{
    // As the OpenGL 3 renderer turns a clip rectangle into its scissor box.
    const int framebufferHeight = static_cast<int>(frame.DisplaySize.y * frame.FramebufferScale.y);
    const ImVec2 offset = frame.DisplayPos;
    const ImVec2 scale = frame.FramebufferScale;
    const ImVec2 low((clip.x - offset.x) * scale.x, (clip.y - offset.y) * scale.y);
    const ImVec2 high((clip.z - offset.x) * scale.x, (clip.w - offset.y) * scale.y);
    if (high.x <= low.x || high.y <= low.y) return {};
    const int x = static_cast<int>(low.x);
    const int bottomUp = static_cast<int>(static_cast<float>(framebufferHeight) - high.y);
    const int top = framebufferHeight - bottomUp;
    return {x, top - static_cast<int>(high.y - low.y), x + static_cast<int>(high.x - low.x), top};
}

ImVec4 clipOf(const PixelRect& scissor, const ImDrawData& frame)
{
    if (empty(scissor)) return {};
    const ImVec2 offset = frame.DisplayPos;
    const ImVec2 scale = frame.FramebufferScale;
    return {static_cast<float>(scissor.x0) / scale.x + offset.x, static_cast<float>(scissor.y0) / scale.y + offset.y,
            static_cast<float>(scissor.x1) / scale.x + offset.x, static_cast<float>(scissor.y1) / scale.y + offset.y};
}

PixelRect intersect(const PixelRect& a, const PixelRect& b)
{
    const PixelRect r{std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
    return empty(r) ? PixelRect{} : r;
}

bool FrameDamage::Command::operator==(const Command& other) const
{
    return clip.x == other.clip.x && clip.y == other.clip.y && clip.z == other.clip.z && clip.w == other.clip.w &&
           texture == other.texture && vertexOffset == other.vertexOffset && indexOffset == other.indexOffset &&
           elements == other.elements;
}

Damage FrameDamage::take(const ImDrawData& frame, int framebufferWidth, int framebufferHeight)
{
    const Frame now{framebufferWidth,  framebufferHeight,      frame.DisplayPos,
                    frame.DisplaySize, frame.FramebufferScale, frame.CmdListsCount};
    Damage damage;
    const bool wasStale = stale.exchange(false, std::memory_order_relaxed);
    // Regions are drawn exactly only where a pixel rectangle is a clip rectangle the
    // renderer turns back into the same pixels, and where the renderer draws into the
    // whole framebuffer.
    const bool exact = powerOfTwo(now.scale.x) && powerOfTwo(now.scale.y) &&
                       std::floor(now.displayPos.x) == now.displayPos.x &&
                       std::floor(now.displayPos.y) == now.displayPos.y &&
                       static_cast<int>(now.displaySize.x * now.scale.x) == framebufferWidth &&
                       static_cast<int>(now.displaySize.y * now.scale.y) == framebufferHeight;
    if (wasStale || !exact || !sameLayout(frame, now)) {
        damage.count = 1;
        damage.whole = true;
        damage.regions[0] = {0, 0, framebufferWidth, framebufferHeight};
    } else {
        changedRegions(frame, damage);
        if (damage.count == 0) return damage;  // the same frame: nothing new to keep
    }
    keep(frame, now);
    return damage;
}

bool FrameDamage::sameLayout(const ImDrawData& frame, const Frame& now) const
{
    if (now.framebufferWidth != last.framebufferWidth || now.framebufferHeight != last.framebufferHeight ||
        now.displayPos.x != last.displayPos.x || now.displayPos.y != last.displayPos.y ||
        now.displaySize.x != last.displaySize.x || now.displaySize.y != last.displaySize.y ||
        now.scale.x != last.scale.x || now.scale.y != last.scale.y || now.lists != last.lists ||
        static_cast<int>(lists.size()) < now.lists)
        return false;
    for (int l = 0; l < now.lists; ++l) {
        const ImDrawList& list = *frame.CmdLists[l];
        const List& before = lists[static_cast<std::size_t>(l)];
        if (static_cast<std::size_t>(list.VtxBuffer.Size) != before.vertices.size() ||
            static_cast<std::size_t>(list.IdxBuffer.Size) != before.indices.size() ||
            static_cast<std::size_t>(list.CmdBuffer.Size) != before.commands.size())
            return false;
        if (list.IdxBuffer.Size > 0 &&
            std::memcmp(list.IdxBuffer.Data, before.indices.data(), before.indices.size() * sizeof(ImDrawIdx)) != 0)
            return false;
        for (int c = 0; c < list.CmdBuffer.Size; ++c) {
            const ImDrawCmd& cmd = list.CmdBuffer[c];
            // What a callback draws is not in the draw data.
            if (cmd.UserCallback != nullptr) return false;
            const Command now{cmd.ClipRect, cmd.TextureId, cmd.VtxOffset, cmd.IdxOffset, cmd.ElemCount};
            if (!(now == before.commands[static_cast<std::size_t>(c)])) return false;
        }
    }
    return true;
}

// The pixels of every triangle with a vertex that moved or changed colour, where it was
// and where it is now, inside its command's scissor box.
void FrameDamage::changedRegions(const ImDrawData& frame, Damage& damage)
{
    const PixelRect bounds{0, 0, last.framebufferWidth, last.framebufferHeight};
    const ImVec2 offset = frame.DisplayPos;
    const ImVec2 scale = frame.FramebufferScale;
    for (int l = 0; l < frame.CmdListsCount; ++l) {
        const ImDrawList& list = *frame.CmdLists[l];
        const std::vector<ImDrawVert>& before = lists[static_cast<std::size_t>(l)].vertices;
        const std::size_t count = before.size();
        if (count == 0 || std::memcmp(list.VtxBuffer.Data, before.data(), count * sizeof(ImDrawVert)) == 0) continue;
        vertexChanged.assign(count, 0);
        for (std::size_t v = 0; v < count; ++v)
            vertexChanged[v] = std::memcmp(&list.VtxBuffer.Data[v], &before[v], sizeof(ImDrawVert)) != 0 ? 1 : 0;
        for (const ImDrawCmd& cmd : list.CmdBuffer) {
            const PixelRect scissor = intersect(scissorOf(cmd.ClipRect, frame), bounds);
            if (empty(scissor)) continue;
            for (unsigned i = cmd.IdxOffset; i + 2 < cmd.IdxOffset + cmd.ElemCount; i += 3) {
                std::size_t corner[3];
                bool changed = false;
                for (int k = 0; k < 3; ++k) {
                    corner[k] =
                        static_cast<std::size_t>(list.IdxBuffer.Data[i + static_cast<unsigned>(k)]) + cmd.VtxOffset;
                    changed = changed || vertexChanged[corner[k]] != 0;
                }
                if (!changed) continue;
                float x0 = 0.0f;
                float y0 = 0.0f;
                float x1 = 0.0f;
                float y1 = 0.0f;
                bool first = true;
                for (const std::size_t v : corner) {
                    for (const ImDrawVert* vertex :
                         {static_cast<const ImDrawVert*>(&list.VtxBuffer.Data[v]), &before[v]}) {
                        const float x = (vertex->pos.x - offset.x) * scale.x;
                        const float y = (vertex->pos.y - offset.y) * scale.y;
                        x0 = first ? x : std::min(x0, x);
                        y0 = first ? y : std::min(y0, y);
                        x1 = first ? x : std::max(x1, x);
                        y1 = first ? y : std::max(y1, y);
                        first = false;
                    }
                }
                // NaN or far-off corners: the whole scissor box.
                PixelRect triangle = scissor;
                if (x0 >= -1e6f && y0 >= -1e6f && x1 <= 1e6f && y1 <= 1e6f) {
                    triangle = {static_cast<int>(std::floor(x0)) - kTriangleMargin,
                                static_cast<int>(std::floor(y0)) - kTriangleMargin,
                                static_cast<int>(std::ceil(x1)) + kTriangleMargin,
                                static_cast<int>(std::ceil(y1)) + kTriangleMargin};
                }
                const PixelRect region = intersect(triangle, scissor);
                if (!empty(region)) addRegion(damage, region);
            }
        }
    }
}

void FrameDamage::keep(const ImDrawData& frame, const Frame& now)
{
    last = now;
    if (static_cast<int>(lists.size()) < now.lists) lists.resize(static_cast<std::size_t>(now.lists));
    for (int l = 0; l < now.lists; ++l) {
        const ImDrawList& list = *frame.CmdLists[l];
        List& kept = lists[static_cast<std::size_t>(l)];
        kept.vertices.assign(list.VtxBuffer.begin(), list.VtxBuffer.end());
        kept.indices.assign(list.IdxBuffer.begin(), list.IdxBuffer.end());
        kept.commands.clear();
        for (const ImDrawCmd& cmd : list.CmdBuffer)
            kept.commands.push_back({cmd.ClipRect, cmd.TextureId, cmd.VtxOffset, cmd.IdxOffset, cmd.ElemCount});
    }
}

}  // namespace kx::imgui
