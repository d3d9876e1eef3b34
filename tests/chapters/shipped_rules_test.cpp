// The rule set the program ships: it takes out each kind of site junk, and
// leaves story sentences that come close to that junk as they are.

#include <gtest/gtest.h>

#include <string>

#include "chapters/extraction.h"
#include "tests/chapters/shipped_rules.h"
#include "tests/support/support.h"
#include "text/codepage.h"

namespace tarnlow {
namespace {

using test::Gbk;

TEST(ShippedRules, TakeOutEachKindOfSiteJunk) {
  const auto rules = test::ShippedRules();
  ASSERT_GE(rules->size(), 8u);
  const struct {
    const char* text;
    const char* cleaned;
  } cases[] = {
      {"他走了。笔趣阁 www.biquge.com，最快更新！\r\n", "他走了。\r\n"},
      {"    請記住本站域名: 黃金屋\r\n正文。", "    \r\n正文。"},
      {"请记住本书首发域名：www.abc.com。手机版阅读网址：m.abc.com\r\n", "\r\n"},
      {"全新的短域名 qxs.la 提供更快的访问（全小说无弹窗）\r\n", "\r\n"},
      {"他推开门。本章未完，点击下一页继续阅读》》\r\n", "他推开门。\r\n"},
      {"不甘心。第一章(1/2),点击下一页继续阅读。", "不甘心。"},
      {"上一页<\r\n　　目录 \r\n正文", "\r\n　　\r\n正文"},
      {"她笑了。(本章完)\r\n（未完待续。）u\r\n未完待续……\r\n", "她笑了。\r\n\r\n\r\n"},
      {"【推荐下，换源app追书真的好用，这里下载 www.hy.org 大家去快可以试试吧。】正文", "正文"},
      {"雪落了。www!22ff*com\r\n", "雪落了。\r\n"},
      {"结了。U&#85;看书&#32;ｗ&#119;&#119;.ｕｕkａnｓhu.c&#111;ｍ&#32;写了", "结了。写了"},
      {"风停了，ｗｗｗ．ｂｉｑｕｇｅ．ｃｏｍ 雨也停了，http://m.xbiquge.la/1.html 天亮了。",
       "风停了，雨也停了， 天亮了。"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GbkToUtf8(ApplyCleanRules(*rules, Gbk(c.text))), c.cleaned) << c.text;
  }
}

// A story of our own, written close to the junk: the words of slogans and
// prompts in ordinary sentences, in every line mode.
TEST(ShippedRules, LeaveStorySentencesAlone) {
  const std::string story =
      Gbk("　　本站是终点站，请记住您的行李。<br /><br />"
          "　　他把这本书收藏了很多年，这本书首发那天，书店门口排起了长队。<br /><br />"
          "　　她用手机阅读了那封长长的邮件，老板说最新章节明天才更新，让他别急。<br /><br />"
          "　　“未完待续，”他笑着合上本子，“明天接着讲。”<br /><br />"
          "　　上一页写满了数字，下一页却是一片空白。他翻到目录，找到了第三章。<br /><br />"
          "　　他点击下一页，又点击返回，屏幕上只有一行字：本章完。<br /><br />"
          "　　他下载了一个新的app，说是能看全本小说；他关注了【晨读】公众号。<br /><br />"
          "　　他一秒记住了她的名字，在纸上写下www三个字母，又写了3.14和v1.2。<br /><br />"
          "　　（他没有回头。）<br /><br />"
          "　　——全书完——");
  const auto rules = test::ShippedRules();
  for (const int lineMode : {0, 1, 2}) {
    EXPECT_EQ(GbkToUtf8(FinishChapterText(story, {lineMode, rules.get()})),
              GbkToUtf8(FinishChapterText(story, {lineMode, nullptr})))
        << "line mode " << lineMode;
  }
}

}  // namespace
}  // namespace tarnlow
