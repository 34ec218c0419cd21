#include "LivePage.h"

#include "SiteReplies.h"

namespace {

constexpr const char* kStyle =
    "main{max-width:1280px;padding:6px}"
    ".bar{display:flex;align-items:center;justify-content:space-between;gap:8px}"
    ".bar button{width:auto;padding:6px 16px;margin:0}"
    ".tip{font-size:13px;margin:4px 0 8px}"
    "#grid{display:grid;grid-template-columns:1fr 1fr;gap:6px}"
    "body.one #grid{grid-template-columns:1fr}"
    "body.one figure:not(.large){display:none}"
    "figure{margin:0;background:#000;color:#fff;cursor:pointer}"
    ".pic{position:relative;aspect-ratio:16/9;background:#000}"
    ".pic img{width:100%;height:100%;object-fit:contain;display:block}"
    ".pic img:not([src]){visibility:hidden}"
    "body.one .pic{max-height:85vh;width:100%}"
    ".nosignal{display:none;position:absolute;left:0;right:0;top:42%;text-align:center;color:#fc0}"
    "figure.stale .nosignal{display:block}"
    "figcaption{font-size:13px;padding:4px 6px;background:#223;display:flex;flex-wrap:wrap;gap:0 8px}"
    ".mark.rec::before{content:'\\25CF ';color:#e60000}"
    ".mark.off{color:#ffc800}";

std::string MarkClass(const LiveState& state)
{
    return state.recording ? "mark rec" : "mark off";
}

std::string Figure(int camera, const LiveState& state)
{
    const std::string number = std::to_string(camera + 1);
    return "<figure data-camera=\"" + number + "\"" + (state.fresh ? "" : " class=\"stale\"") +
           "><div class=\"pic\"><img alt=\"" + Escape(state.name) +
           "\"><span class=\"nosignal\">没有画面</span></div><figcaption><b class=\"name\">" + Escape(state.name) +
           "</b><span class=\"" + MarkClass(state) + "\">" + Escape(state.mark) + "</span><span class=\"time\">" +
           Escape(state.time) + "</span></figcaption></figure>";
}

// The digits of a number no larger than `limit`; -1 for anything else.
long long Number(const std::string& text, long long limit)
{
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    const long long value = std::stoll(text);
    return value <= limit ? value : -1;
}

// The camera of /live/N.jpg, from 0; -1 when the path names none.
int PictureCamera(const std::string& path, LiveSource* live)
{
    const std::string head = "/live/";
    const std::string tail = ".jpg";
    if (live == nullptr || path.size() <= head.size() + tail.size() || path.compare(0, head.size(), head) != 0 ||
        path.compare(path.size() - tail.size(), tail.size(), tail) != 0)
        return -1;
    const long long number = Number(path.substr(head.size(), path.size() - head.size() - tail.size()), live->Cameras());
    return number >= 1 ? static_cast<int>(number - 1) : -1;
}

}  // namespace

bool IsPicturePath(const std::string& path)
{
    return path.rfind("/live/", 0) == 0;
}

SiteReply LivePage(const std::string& account, LiveSource* live, LiveSource::Clock::time_point now)
{
    std::string figures;
    for (int camera = 0; live != nullptr && camera < live->Cameras(); ++camera)
        figures += Figure(camera, live->State(camera, now));
    return Page(200,
                "<div class=\"bar\"><span>已登录：" + Escape(account) +
                    "</span><form method=\"post\" action=\"/logout\"><button type=\"submit\">退出</button></form></div>"
                    "<p class=\"tip\">点按画面放大，再点按回到全部画面。</p><div id=\"grid\">" +
                    figures + "</div><script src=\"/live.js\"></script>",
                kStyle);
}

SiteReply CamerasReply(LiveSource* live, LiveSource::Clock::time_point now)
{
    std::string json = "{\"cameras\":[";
    for (int camera = 0; live != nullptr && camera < live->Cameras(); ++camera) {
        const LiveState state = live->State(camera, now);
        json += std::string(camera == 0 ? "" : ",") + "{\"name\":\"" + JsonEscape(state.name) +
                "\",\"recording\":" + (state.recording ? "true" : "false") + ",\"mark\":\"" + JsonEscape(state.mark) +
                "\",\"time\":\"" + JsonEscape(state.time) + "\",\"fresh\":" + (state.fresh ? "true" : "false") + "}";
    }
    return Plain(200, "application/json", json + "]}");
}

SiteReply PictureReply(LiveSource* live, const std::string& path, const std::string& query,
                       LiveSource::Clock::time_point now)
{
    const int camera = PictureCamera(path, live);
    if (camera < 0)
        return Page(404, "<p>没有这个页面。</p>");
    const std::string key = "after=";
    const long long after = query.rfind(key, 0) == 0 ? Number(query.substr(key.size()), 999999999999999999LL) : 0;
    const LiveShot shot = live->Take(camera, after < 0 ? 0 : static_cast<std::uint64_t>(after), now);
    if (!shot.jpeg)
        return Plain(204, "image/jpeg", "");
    SiteReply reply = Plain(200, "image/jpeg", *shot.jpeg);
    reply.headers.push_back({"X-Picture", std::to_string(shot.number)});
    reply.headers.push_back({"X-Picture-Time", shot.time});
    reply.headers.push_back({"X-Picture-Age", std::to_string(shot.ageMs)});
    return reply;
}

// Each camera shown asks for its next picture once the last has arrived, at
// most eight a second; the names and marks are asked for every second. A
// refused session goes back to the login page.
SiteReply LiveScript()
{
    static const char* const kScript = R"JS('use strict';
const figures = Array.from(document.querySelectorAll('figure'));
let large = null;
const sleep = (ms) => new Promise((done) => setTimeout(done, ms));
const shown = (figure) => large === null || large === figure;
function refused(reply) {
  if (reply && reply.status === 401) { location.href = '/login'; return true; }
  return false;
}
async function ask(url) {
  try { return await fetch(url, {cache: 'no-store', credentials: 'same-origin'}); } catch (e) { return null; }
}
async function watch(figure) {
  const img = figure.querySelector('img');
  const time = figure.querySelector('.time');
  let after = 0;
  let lastPicture = Date.now();
  for (;;) {
    if (document.hidden || !shown(figure)) { await sleep(250); continue; }
    const began = Date.now();
    const reply = await ask('/live/' + figure.dataset.camera + '.jpg?after=' + after);
    if (refused(reply)) return;
    if (reply && reply.status === 200) {
      after = Number(reply.headers.get('X-Picture')) || after;
      const url = URL.createObjectURL(await reply.blob());
      const old = img.dataset.url;
      img.src = url;
      img.dataset.url = url;
      if (old) URL.revokeObjectURL(old);
      time.textContent = reply.headers.get('X-Picture-Time') || '';
      lastPicture = Date.now();
      figure.classList.remove('stale');
      await sleep(Math.max(0, 125 - (Date.now() - began)));
    } else {
      if (Date.now() - lastPicture > 3000) figure.classList.add('stale');
      await sleep(reply ? 60 : 1000);
    }
  }
}
async function follow() {
  for (;;) {
    const reply = await ask('/cameras');
    if (refused(reply)) return;
    if (reply && reply.ok) {
      const state = await reply.json();
      state.cameras.forEach((camera, i) => {
        if (!figures[i]) return;
        figures[i].querySelector('.name').textContent = camera.name;
        const mark = figures[i].querySelector('.mark');
        mark.textContent = camera.mark;
        mark.className = camera.recording ? 'mark rec' : 'mark off';
      });
    }
    await sleep(1000);
  }
}
figures.forEach((figure) => {
  figure.addEventListener('click', () => {
    large = large === figure ? null : figure;
    figures.forEach((f) => f.classList.toggle('large', f === large));
    document.body.classList.toggle('one', large !== null);
  });
  watch(figure);
});
follow();
)JS";
    return Plain(200, "text/javascript; charset=utf-8", kScript);
}
