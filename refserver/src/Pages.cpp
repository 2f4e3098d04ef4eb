#include "Pages.h"

#include <map>

#include "Codec.h"

namespace qs {

namespace {

const char* kCss = R"CSS(
:root { --ink:#1f2933; --muted:#616e7c; --line:#d9e2ec; --bg:#f5f7fa; --accent:#2f6fb0; --ok:#2f855a; --warn:#b7791f; }
* { box-sizing: border-box; }
body { margin:0; background:var(--bg); color:var(--ink);
       font: 15px/1.55 "Noto Sans CJK KR","Noto Sans KR","NanumGothic","Malgun Gothic",sans-serif; }
header { background:#243b53; color:#fff; padding:18px 32px; }
header h1 { margin:0; font-size:22px; font-weight:600; }
header p { margin:4px 0 0; color:#bcccdc; font-size:13px; }
main { max-width:1120px; margin:24px auto; padding:0 24px; }
a { color:var(--accent); text-decoration:none; } a:hover { text-decoration:underline; }
.card { background:#fff; border:1px solid var(--line); border-radius:8px; padding:18px 22px; margin-bottom:20px;
        box-shadow:0 1px 2px rgba(0,0,0,.04); }
.card h2 { margin:0 0 4px; font-size:18px; }
.sub { color:var(--muted); font-size:13px; }
.badge { display:inline-block; padding:1px 8px; border-radius:10px; font-size:12px; font-weight:600; margin-left:6px;
         vertical-align:2px; }
.b-insert { background:#e3f8ec; color:var(--ok); } .b-update { background:#e6f0fb; color:var(--accent); }
.b-open { background:#fff4db; color:var(--warn); } .b-abandoned { background:#f1f1f1; color:var(--muted); }
.stats { display:flex; flex-wrap:wrap; gap:10px; margin:14px 0 10px; }
.stat { border:1px solid var(--line); border-radius:6px; padding:6px 12px; min-width:104px; }
.stat b { display:block; font-size:18px; } .stat span { color:var(--muted); font-size:12px; }
table { border-collapse:collapse; width:100%; font-size:14px; margin-top:8px; }
th, td { text-align:left; padding:5px 8px; border-bottom:1px solid var(--line); vertical-align:top; }
th { color:var(--muted); font-weight:600; font-size:12px; background:#fafbfc; }
td.num { text-align:right; color:var(--muted); width:64px; }
.note { background:#fffbea; border-left:3px solid var(--warn); padding:6px 10px; margin:8px 0; white-space:pre-wrap; }
.empty { color:var(--muted); font-style:italic; }
.meta td:first-child { width:260px; color:var(--muted); }
iframe { width:100%; height:70vh; border:1px solid var(--line); border-radius:6px; background:#fff; }
.more { margin-top:8px; font-size:13px; }
)CSS";

std::string Head(const std::string& title, const std::string& subtitle) {
  return "<!DOCTYPE html>\n<html lang=\"ko\"><head><meta charset=\"utf-8\"><title>" + HtmlEscape(title) +
         "</title><meta name=\"viewport\" content=\"width=device-width\"><style>" + kCss +
         "</style></head><body><header><h1>" + HtmlEscape(title) + "</h1><p>" + subtitle + "</p></header><main>";
}

const char* kFoot = "</main></body></html>\n";

std::string Num(int64_t n) {
  std::string digits = std::to_string(n < 0 ? -n : n), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return n < 0 ? std::string(1, '-') + out : out;
}

std::string ModeBadge(const Run& r) {
  std::string out = r.mode == "INSERT" ? "<span class=\"badge b-insert\">신규 (INSERT)</span>"
                                       : "<span class=\"badge b-update\">수정 (UPDATE)</span>";
  if (r.state == "open") out += "<span class=\"badge b-open\">진행 중</span>";
  if (r.state == "abandoned") out += "<span class=\"badge b-abandoned\">중단됨</span>";
  return out;
}

std::string Stat(int64_t n, const char* label) {
  return "<div class=\"stat\"><b>" + Num(n) + "</b><span>" + label + "</span></div>";
}

std::map<std::string, std::string> TabNames(const Product& p) {
  std::map<std::string, std::string> out;
  auto names = SplitBy(p.tabs, ','), ids = SplitBy(p.tabIds, ',');
  for (size_t i = 0; i < names.size() && i < ids.size(); ++i) out[Trim(ids[i])] = Trim(names[i]);
  return out;
}

std::string RunBlock(Store& store, const Product& p, const RunSummary& s, int limit) {
  const Run& r = s.run;
  std::string out = "<p class=\"sub\">마지막 업로드 " + ModeBadge(r) + "<br>시작 " + HtmlEscape(r.startedAt) +
                    (r.completedAt.empty() ? "" : " · 완료 " + HtmlEscape(r.completedAt)) + " · 작업자 " +
                    HtmlEscape(r.staffId) + "</p>";
  out += "<div class=\"stats\">" + Stat(s.articles, "기사 레코드") + Stat(s.headers, "탭 머리 레코드") +
         Stat(s.tabLinks, "탭 연결") + Stat(s.imageLinks, "원문 이미지 연결") + Stat(s.files, "파일") +
         Stat(s.fileBytes, "파일 바이트") + "</div>";
  if (!r.note.empty()) out += "<div class=\"note\">" + HtmlEscape(r.note) + "</div>";
  const int64_t published = store.CountPublishedRecords(p.id);
  if (r.state != "completed")
    out += "<p class=\"sub\">이 업로드는 완료되지 않아 아래 레코드는 게시되지 않습니다. 제품에 게시되는 레코드는 "
           "완료된 업로드의 " + Num(published) + "건입니다.</p>";
  else if (published != s.articles + s.headers)
    out += "<p class=\"sub\">제품에 게시되는 레코드는 모두 " + Num(published) +
           "건입니다. 이번 업로드에 없던 탭의 레코드는 이전 업로드의 것이 그대로 남습니다.</p>";
  auto tabs = TabNames(p);
  auto records = store.RunRecords(r.id, limit + 1);
  if (records.empty()) {
    out += "<p class=\"empty\">이 업로드에는 아직 텍스트 레코드가 없습니다.</p>";
    return out;
  }
  out += "<table><tr><th>탭</th><th>콘텐츠</th><th>페이지</th><th>이번 업로드의 제목</th></tr>";
  int shown = 0;
  for (const auto& rec : records) {
    if (shown++ == limit) break;
    auto tab = tabs.count(rec.arId) ? tabs[rec.arId] + " (" + rec.arId + ")" : rec.arId;
    out += "<tr><td>" + HtmlEscape(tab) + "</td><td class=\"num\">" + std::to_string(rec.contentNumber) +
           "</td><td class=\"num\">" + std::to_string(rec.pageNumber) + "</td><td><a href=\"/records/" +
           std::to_string(rec.id) + "\">" + (rec.header ? "<b>" : "") +
           HtmlEscape(rec.title.empty() ? "(제목 없음)" : rec.title) + (rec.header ? "</b>" : "") + "</a></td></tr>";
  }
  out += "</table>";
  if (static_cast<int>(records.size()) > limit)
    out += "<p class=\"more\"><a href=\"/runs/" + std::to_string(r.id) + "\">모든 레코드와 연결 정보 보기 →</a></p>";
  else
    out += "<p class=\"more\"><a href=\"/runs/" + std::to_string(r.id) + "\">연결 정보와 파일 보기 →</a></p>";
  return out;
}

std::string ProductLine(const Product& p) {
  return "ID " + HtmlEscape(p.id) + " · 코드 " + HtmlEscape(p.code) + " · 서비스 " + HtmlEscape(p.serviceId) +
         " · 원문 이미지 " + HtmlEscape(p.srcImage) + " · 삽입 이미지 " + HtmlEscape(p.insImage) + " · 탭 " +
         HtmlEscape(p.tabs) + " (" + HtmlEscape(p.tabIds) + ") · 연결 " + HtmlEscape(p.tabLinks);
}

// Shows "code=value|..." with the column names of the definitions.
std::string MetaTable(const std::string& title, const std::string& record, const std::vector<MetaColumn>& cols) {
  if (record.empty()) return "";
  std::map<std::string, std::string> names;
  for (const auto& c : cols) names.emplace(ToLowerAscii(c.columnCode), c.groupName + " > " + c.columnName);
  std::string out = "<h3>" + HtmlEscape(title) + "</h3><table class=\"meta\">";
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const auto& piece : SplitBy(record, '|')) {
    size_t eq = piece.find('=');
    std::string code = eq == std::string::npos ? "" : ToLowerAscii(piece.substr(0, eq));
    if (eq != std::string::npos && (names.count(code) || code == "name" || pairs.empty()))
      pairs.emplace_back(piece.substr(0, eq), piece.substr(eq + 1));
    else if (!pairs.empty())
      pairs.back().second += "|" + piece;
  }
  for (const auto& [code, value] : pairs) {
    auto it = names.find(ToLowerAscii(code));
    out += "<tr><td>" + HtmlEscape(code) + (it != names.end() ? "<br><span class=\"sub\">" + HtmlEscape(it->second) +
                                                                    "</span>"
                                                              : "") +
           "</td><td>" + HtmlEscape(value) + "</td></tr>";
  }
  return out + "</table>";
}

}  // namespace

std::string OverviewPage(Store& store) {
  auto products = store.Products();
  std::string out = Head("VUX 제작 서버", "quilo-server · 제품 " + Num(static_cast<int64_t>(products.size())) +
                                             "개 · 업로드된 기사와 파일");
  if (products.empty()) out += "<div class=\"card\"><p class=\"empty\">등록된 제품이 없습니다.</p></div>";
  for (const auto& p : products) {
    out += "<section class=\"card\"><h2>" + HtmlEscape(p.name) + "</h2><p class=\"sub\">" + ProductLine(p) + "</p>";
    auto last = store.LastRun(p.id);
    if (!last)
      out += "<p class=\"empty\">아직 업로드되지 않았습니다.</p>";
    else
      out += RunBlock(store, p, *last, 40);
    out += "</section>";
  }
  return out + kFoot;
}

std::optional<std::string> RunPage(Store& store, int64_t runId) {
  auto s = store.RunById(runId);
  if (!s) return std::nullopt;
  auto p = store.FindProduct(s->run.productId);
  if (!p) return std::nullopt;
  std::string out = Head(p->name + " — 업로드 #" + std::to_string(runId), "<a href=\"/\" style=\"color:#bcccdc\">← 제품 목록</a>");
  out += "<section class=\"card\"><h2>" + HtmlEscape(p->name) + "</h2><p class=\"sub\">" + ProductLine(*p) + "</p>" +
         RunBlock(store, *p, *s, 100000) + "</section>";
  auto links = store.RunTabLinks(runId);
  out += "<section class=\"card\"><h2>탭 연결</h2>";
  if (links.empty()) out += "<p class=\"empty\">없음</p>";
  else {
    out += "<table><tr><th>번역 탭</th><th>콘텐츠</th><th>페이지</th><th>원문 탭</th><th>콘텐츠</th><th>페이지</th></tr>";
    for (const auto& l : links)
      out += "<tr><td>" + HtmlEscape(l.tranArId) + "</td><td>" + HtmlEscape(l.tranContent) + "</td><td>" +
             HtmlEscape(l.tranPage) + "</td><td>" + HtmlEscape(l.oriArId) + "</td><td>" + HtmlEscape(l.oriContent) +
             "</td><td>" + HtmlEscape(l.oriPage) + "</td></tr>";
    out += "</table>";
  }
  out += "</section><section class=\"card\"><h2>원문 이미지 연결</h2>";
  auto images = store.RunImageLinks(runId);
  if (images.empty()) out += "<p class=\"empty\">없음</p>";
  else {
    out += "<table><tr><th>탭/페이지</th><th>이미지</th></tr>";
    for (const auto& [key, list] : images) {
      std::string cells;
      for (const auto& item : SplitBy(list, '|')) {
        if (!cells.empty()) cells += ", ";
        cells += HtmlEscape(item);
      }
      out += "<tr><td>" + HtmlEscape(key) + "</td><td>" + cells + "</td></tr>";
    }
    out += "</table>";
  }
  out += "</section><section class=\"card\"><h2>파일</h2>";
  auto files = store.RunFiles(runId);
  if (files.empty()) out += "<p class=\"empty\">없음</p>";
  else {
    out += "<table><tr><th>폴더</th><th>파일</th><th>크기</th></tr>";
    for (const auto& f : files) {
      std::string url = "/files/" + UrlPathEscape(p->id + "/" + f.folder + "/" + f.name);
      out += "<tr><td>" + HtmlEscape(f.folder) + "</td><td><a href=\"" + HtmlEscape(url) + "\">" +
             HtmlEscape(f.name) + "</a></td><td>" + Num(f.size) + "</td></tr>";
    }
    out += "</table>";
  }
  return out + "</section>" + kFoot;
}

std::optional<std::string> RecordPage(Store& store, int64_t recordId) {
  auto r = store.Record(recordId);
  if (!r) return std::nullopt;
  auto p = store.FindProduct(r->productId);
  std::string productName = p ? p->name : r->productId;
  std::string tab = r->arId;
  if (p) {
    auto tabs = TabNames(*p);
    if (tabs.count(r->arId)) tab = tabs[r->arId] + " (" + r->arId + ")";
  }
  std::string out = Head(r->title.empty() ? "(제목 없음)" : r->title,
                         "<a href=\"/\" style=\"color:#bcccdc\">← 제품 목록</a> · " + HtmlEscape(productName) + " · 탭 " +
                             HtmlEscape(tab) + " · 콘텐츠 " + std::to_string(r->contentNumber) + " · 페이지 " +
                             std::to_string(r->pageNumber) + " · 수신 " + HtmlEscape(r->receivedAt));
  out += "<section class=\"card\"><h2>본문</h2>";
  if (r->header)
    out += "<p class=\"empty\">탭 머리 레코드에는 본문이 없습니다.</p>";
  else
    out += "<iframe sandbox src=\"/records/" + std::to_string(r->id) + "/html\" title=\"본문\"></iframe>";
  out += "</section>";
  auto cols = store.MetaColumns();
  std::string meta = MetaTable("coremeta", r->coremeta, cols) + MetaTable("exmeta", r->exmeta, cols) +
                     MetaTable("exaddmeta", r->exaddmeta, cols) + MetaTable("imgmeta", r->imgmeta, cols);
  if (!meta.empty()) out += "<section class=\"card\"><h2>메타 데이터</h2>" + meta + "</section>";
  return out + kFoot;
}

std::string StoredHtmlPage(const RecordRow& r) {
  return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><base href=\"/files/" + UrlPathEscape(r.productId) +
         "/\"><style>body{font:16px/1.7 \"Noto Serif CJK KR\",\"Noto Sans CJK KR\",serif;margin:18px 24px;}"
         "img{max-width:100%;height:auto;}</style></head><body>" +
         r.html + "</body></html>";
}

std::string HelpPage() {
  return Head("VUX 도움말", "quilo-server") +
         "<section class=\"card\"><h2>작업 순서</h2><ol>"
         "<li>로그인: 회사에서 발급한 아이디와 비밀번호로 로그인합니다.</li>"
         "<li>작업 정의: 배정된 제품을 고르고 작업 폴더와 탭별 원본 폴더를 지정합니다.</li>"
         "<li>기사 생성, 태그 편집, 탭 연결, 링크 구성, 원문 이미지 연결을 진행합니다.</li>"
         "<li>색인 정보 가져오기, 분류 지정, 색인어 추출, 메타 수정을 진행합니다.</li>"
         "<li>업로드: 탭을 선택하고 전송합니다. 서버는 처음 올리는 제품이면 신규(INSERT), 이미 올린 제품이면 "
         "수정(UPDATE)으로 받습니다.</li></ol>"
         "<p class=\"sub\">업로드된 내용은 <a href=\"/\">서버 첫 화면</a>에서 확인할 수 있습니다.</p></section>" +
         kFoot;
}

std::string LoginPage(const std::string& message) {
  std::string out = Head("VUX 제작 서버", "작업자 로그인");
  out += "<div class=\"card\"><form method=\"post\" action=\"/login\">";
  if (!message.empty()) out += "<p class=\"note\">" + HtmlEscape(message) + "</p>";
  out += "<p><label>아이디<br><input name=\"id\" autocomplete=\"username\" autofocus></label></p>"
         "<p><label>비밀번호<br><input name=\"pw\" type=\"password\" autocomplete=\"current-password\"></label></p>"
         "<p><button type=\"submit\">로그인</button></p></form></div>";
  return out + kFoot;
}

}  // namespace qs
