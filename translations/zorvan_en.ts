<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>page</name>
    <message>
        <source>无法连接 Zorvan 服务器</source>
        <translation>Cannot reach the Zorvan server</translation>
    </message>
    <message>
        <source>服务器回答 %1</source>
        <translation>The server answered %1</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>主播Lumo：</source>
        <translation>Lumo id:</translation>
    </message>
    <message>
        <source>关注</source>
        <translation>Follow</translation>
    </message>
    <message>
        <source>还没有关注主播。</source>
        <translation>No performer is followed yet.</translation>
    </message>
    <message>
        <source>关注列表</source>
        <translation>Following</translation>
    </message>
    <message>
        <source>立即检查</source>
        <translation>Check now</translation>
    </message>
    <message>
        <source>下载新作品</source>
        <translation>Download new works</translation>
    </message>
    <message>
        <source>无法打开关注列表：</source>
        <translation>Cannot open the list of followed performers: </translation>
    </message>
    <message>
        <source>作品</source>
        <translation>Works</translation>
    </message>
    <message>
        <source>%1 个新作品</source>
        <translation>%1 new</translation>
    </message>
    <message>
        <source>上次检查</source>
        <translation>Last check</translation>
    </message>
    <message>
        <source>主播 %1</source>
        <translation>Performer %1</translation>
    </message>
    <message>
        <source>检查失败：</source>
        <translation>Check failed: </translation>
    </message>
    <message>
        <source>没有新作品</source>
        <translation>No new works</translation>
    </message>
    <message>
        <source>新作品</source>
        <translation>New</translation>
    </message>
    <message>
        <source>取消关注</source>
        <translation>Unfollow</translation>
    </message>
    <message>
        <source>无法读取新作品：</source>
        <translation>Cannot read the new works: </translation>
    </message>
    <message>
        <source>请先输入主播的 ID。</source>
        <translation>Enter a performer&apos;s id first.</translation>
    </message>
    <message>
        <source>已关注主播 %1</source>
        <translation>Now following performer %1</translation>
    </message>
    <message>
        <source>无法关注：</source>
        <translation>Cannot follow: </translation>
    </message>
    <message>
        <source>不再关注 %1 吗？已下载的文件不会删除。</source>
        <translation>Stop following %1? Downloaded files are kept.</translation>
    </message>
    <message>
        <source>无法取消关注：</source>
        <translation>Cannot unfollow: </translation>
    </message>
    <message>
        <source>正在检查…</source>
        <translation>Checking…</translation>
    </message>
    <message>
        <source>无法检查关注的主播：</source>
        <translation>Cannot check the followed performers: </translation>
    </message>
    <message>
        <source>已加入 %1 个作品</source>
        <translation>%1 works added</translation>
    </message>
    <message>
        <source>没有要下载的新作品。</source>
        <translation>There are no new works to download.</translation>
    </message>
    <message>
        <source>下载失败：%1</source>
        <translation>Download failed: %1</translation>
    </message>
    <message>
        <source>%1/秒</source>
        <translation>%1/s</translation>
    </message>
    <message>
        <source>还需 %1</source>
        <translation>%1 left</translation>
    </message>
    <message>
        <source>从未</source>
        <translation>never</translation>
    </message>
    <message>
        <source>搜索歌名或主播</source>
        <translation>Search songs or performers</translation>
    </message>
    <message>
        <source>排序</source>
        <translation>Sort</translation>
    </message>
    <message>
        <source>最新在前</source>
        <translation>Newest first</translation>
    </message>
    <message>
        <source>最早在前</source>
        <translation>Oldest first</translation>
    </message>
    <message>
        <source>按主播</source>
        <translation>By performer</translation>
    </message>
    <message>
        <source>按大小</source>
        <translation>By size</translation>
    </message>
    <message>
        <source>显示更多</source>
        <translation>Show more</translation>
    </message>
    <message>
        <source>已下载</source>
        <translation>Downloaded</translation>
    </message>
    <message>
        <source>无法读取已下载的文件：</source>
        <translation>Cannot read the downloaded files: </translation>
    </message>
    <message>
        <source>共 %1 个文件</source>
        <translation>%1 files</translation>
    </message>
    <message>
        <source>还没有下载的文件。</source>
        <translation>Nothing has been downloaded yet.</translation>
    </message>
    <message>
        <source>播放“%1”</source>
        <translation>Play “%1”</translation>
    </message>
    <message>
        <source>找不到文件</source>
        <translation>File missing</translation>
    </message>
    <message>
        <source>删除“%1”</source>
        <translation>Delete “%1”</translation>
    </message>
    <message>
        <source>无法播放：</source>
        <translation>Cannot play: </translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>删除“%1”吗？文件将从磁盘上删除。</source>
        <translation>Delete “%1”? The file is deleted from the disk.</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>已删除“%1”</source>
        <translation>“%1” deleted</translation>
    </message>
    <message>
        <source>无法删除：</source>
        <translation>Cannot delete: </translation>
    </message>
    <message>
        <source>下载列表</source>
        <translation>Download list</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>实时</source>
        <translation>Live</translation>
    </message>
    <message>
        <source>连接已断开，正在重新连接…</source>
        <translation>Connection lost; reconnecting…</translation>
    </message>
    <message>
        <source>退出登录</source>
        <translation>Log out</translation>
    </message>
    <message>
        <source>页面</source>
        <translation>Pages</translation>
    </message>
    <message>
        <source>正在连接…</source>
        <translation>Connecting…</translation>
    </message>
    <message>
        <source>登录</source>
        <translation>Log in</translation>
    </message>
    <message>
        <source>登录失败次数太多，请稍后再试。</source>
        <translation>Too many failed logins; try again later.</translation>
    </message>
    <message>
        <source>密码不对。</source>
        <translation>Wrong password.</translation>
    </message>
    <message>
        <source>密码</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>没有设置密码时，在服务器上运行 zorvan-server --link，打开它给出的链接。</source>
        <translation>No password set? Run zorvan-server --link on the server and open the link it prints.</translation>
    </message>
    <message>
        <source>请重新登录。</source>
        <translation>Please log in again.</translation>
    </message>
    <message>
        <source>重试</source>
        <translation>Retry</translation>
    </message>
    <message>
        <source>由另一个程序下载中</source>
        <translation>Being downloaded by another program</translation>
    </message>
    <message>
        <source>等待</source>
        <translation>Waiting</translation>
    </message>
    <message>
        <source>下载中（正在重试 %1）</source>
        <translation>Downloading (retry %1)</translation>
    </message>
    <message>
        <source>下载中</source>
        <translation>Downloading</translation>
    </message>
    <message>
        <source>已暂停</source>
        <translation>Paused</translation>
    </message>
    <message>
        <source>失败：</source>
        <translation>Failed: </translation>
    </message>
    <message>
        <source>完毕</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>已存在，未下载</source>
        <translation>Exists, not downloaded</translation>
    </message>
    <message>
        <source>全选</source>
        <translation>Select all</translation>
    </message>
    <message>
        <source>下载列表是空的：在“作品”中选择要下载的作品。</source>
        <translation>The download list is empty: choose works to download under “Works”.</translation>
    </message>
    <message>
        <source>清除已完成</source>
        <translation>Clear finished</translation>
    </message>
    <message>
        <source>选中的作品</source>
        <translation>Selected works</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Continue</translation>
    </message>
    <message>
        <source>移除</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>移到顶部</source>
        <translation>Move to top</translation>
    </message>
    <message>
        <source>移到底部</source>
        <translation>Move to bottom</translation>
    </message>
    <message>
        <source>选择“%1”</source>
        <translation>Select “%1”</translation>
    </message>
    <message>
        <source>进度</source>
        <translation>Progress</translation>
    </message>
    <message>
        <source>下载中 %1 个，等待 %2 个，已暂停 %3 个，完毕 %4 个</source>
        <translation>%1 downloading, %2 waiting, %3 paused, %4 done</translation>
    </message>
    <message>
        <source>，失败 %1 个</source>
        <translation>, %1 failed</translation>
    </message>
    <message>
        <source>无法连接服务器，等待恢复…</source>
        <translation>The server cannot be reached; waiting for it…</translation>
    </message>
    <message>
        <source>（已暂停）</source>
        <translation> (paused)</translation>
    </message>
    <message>
        <source>全部继续</source>
        <translation>Continue all</translation>
    </message>
    <message>
        <source>全部暂停</source>
        <translation>Pause all</translation>
    </message>
    <message>
        <source>已选 %1 个</source>
        <translation>%1 selected</translation>
    </message>
    <message>
        <source>%1 个作品没有改变：</source>
        <translation>%1 works were not changed: </translation>
    </message>
    <message>
        <source>操作失败：</source>
        <translation>The action failed: </translation>
    </message>
    <message>
        <source>取消下载“%1”吗？已下载的部分将被删除。</source>
        <translation>Cancel the download of “%1”? What was downloaded will be deleted.</translation>
    </message>
    <message>
        <source>取消下载</source>
        <translation>Cancel download</translation>
    </message>
    <message>
        <source>（没有选中作品）</source>
        <translation>(no work selected)</translation>
    </message>
    <message>
        <source>取消 %1 个下载吗？已下载的部分将被删除。</source>
        <translation>Cancel %1 downloads? What was downloaded of them will be deleted.</translation>
    </message>
    <message>
        <source>歌名.mp4（都在下载文件夹）</source>
        <translation>Song.mp4 (all in the download folder)</translation>
    </message>
    <message>
        <source>主播ID/序号 歌名.mp4</source>
        <translation>PerformerID/No. Song.mp4</translation>
    </message>
    <message>
        <source>同时下载：</source>
        <translation>Downloads at once:</translation>
    </message>
    <message>
        <source>每个下载的连接数：</source>
        <translation>Connections per download:</translation>
    </message>
    <message>
        <source>总速度限制（KiB/秒）：</source>
        <translation>Overall speed limit (KiB/s):</translation>
    </message>
    <message>
        <source>0 表示不限</source>
        <translation>0 means no limit</translation>
    </message>
    <message>
        <source>下载文件夹：</source>
        <translation>Download folder:</translation>
    </message>
    <message>
        <source>服务器上的绝对路径；留空使用默认文件夹</source>
        <translation>An absolute path on the server; empty for the default folder</translation>
    </message>
    <message>
        <source>文件命名：</source>
        <translation>File names:</translation>
    </message>
    <message>
        <source>检查关注的间隔（分钟）：</source>
        <translation>Check followed performers every (minutes):</translation>
    </message>
    <message>
        <source>0 表示不自动检查</source>
        <translation>0 means no automatic checks</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>无法读取设置：</source>
        <translation>Cannot read the settings: </translation>
    </message>
    <message>
        <source>设置已保存</source>
        <translation>Settings saved</translation>
    </message>
    <message>
        <source>设置没有保存：</source>
        <translation>Settings not saved: </translation>
    </message>
    <message>
        <source>获取作品</source>
        <translation>List works</translation>
    </message>
    <message>
        <source>搜索歌名</source>
        <translation>Search songs</translation>
    </message>
    <message>
        <source>序号从大到小</source>
        <translation>Newest number first</translation>
    </message>
    <message>
        <source>序号从小到大</source>
        <translation>Oldest number first</translation>
    </message>
    <message>
        <source>按歌名</source>
        <translation>By song</translation>
    </message>
    <message>
        <source>选择显示的全部作品</source>
        <translation>Select all works shown</translation>
    </message>
    <message>
        <source>下载选中</source>
        <translation>Download selected</translation>
    </message>
    <message>
        <source>下载全部显示</source>
        <translation>Download all shown</translation>
    </message>
    <message>
        <source>主播 %1 的作品</source>
        <translation>Works of performer %1</translation>
    </message>
    <message>
        <source>没有找到作品</source>
        <translation>No works found</translation>
    </message>
    <message>
        <source>获取信息出错！请重试</source>
        <translation>Could not get the works! Please try again</translation>
    </message>
    <message>
        <source>共 %1 个作品</source>
        <translation>%1 works</translation>
    </message>
    <message>
        <source>%1 / %2 个作品</source>
        <translation>%1 / %2 works</translation>
    </message>
    <message>
        <source>排队中</source>
        <translation>Queued</translation>
    </message>
    <message>
        <source>显示方式</source>
        <translation>Show as</translation>
    </message>
    <message>
        <source>列表</source>
        <translation>List</translation>
    </message>
    <message>
        <source>海报墙</source>
        <translation>Posters</translation>
    </message>
    <message>
        <source>无法从这个视频生成海报</source>
        <translation>No poster could be made of this video</translation>
    </message>
    <message>
        <source>为媒体服务器在视频旁写海报和 .nfo（Kodi、Jellyfin）</source>
        <translation>Write posters and .nfo files beside the videos for a media server (Kodi, Jellyfin)</translation>
    </message>
    <message>
        <source>校验文件</source>
        <translation>Verify files</translation>
    </message>
    <message>
        <source>逐个读取文件，与保存时记下的 SHA-256 对照</source>
        <translation>Reads each file and compares it with the SHA-256 taken when it was saved</translation>
    </message>
    <message>
        <source>校验进度</source>
        <translation>Verification progress</translation>
    </message>
    <message>
        <source>校验正在进行，请等它结束</source>
        <translation>A verification is running; wait for it to finish</translation>
    </message>
    <message>
        <source>无法校验：</source>
        <translation>Cannot verify: </translation>
    </message>
    <message>
        <source>正在校验…</source>
        <translation>Verifying…</translation>
    </message>
    <message>
        <source>正在校验：%1/%2 个文件，%3 / %4</source>
        <translation>Verifying: %1/%2 files, %3 / %4</translation>
    </message>
    <message>
        <source>，%1 个已损坏</source>
        <translation>, %1 damaged</translation>
    </message>
    <message>
        <source>校验完毕：%1 个完好</source>
        <translation>Verified: %1 intact</translation>
    </message>
    <message>
        <source>，%1 个找不到</source>
        <translation>, %1 missing</translation>
    </message>
    <message>
        <source>，%1 个补记了 SHA-256</source>
        <translation>, %1 given their SHA-256 now</translation>
    </message>
    <message>
        <source>，%1 个不是 Zorvan 下载的视频</source>
        <translation>, %1 videos not downloaded by Zorvan</translation>
    </message>
    <message>
        <source>。%1 个已加入下载列表重新下载</source>
        <translation>. %1 queued to be downloaded again</translation>
    </message>
    <message>
        <source>。%1 个无法重新下载：没有记下地址，主播也不再列出它</source>
        <translation>. %1 cannot be downloaded again: the address was not kept and the performer no longer lists it</translation>
    </message>
    <message>
        <source>已损坏：内容与保存时的 SHA-256 不同</source>
        <translation>Damaged: its SHA-256 differs from the one taken when it was saved</translation>
    </message>
    <message>
        <source>已损坏</source>
        <translation>Damaged</translation>
    </message>
    <message>
        <source>文件在记下 SHA-256 之后改变过，还没有重新校验</source>
        <translation>The file changed after its SHA-256 was taken and has not been verified since</translation>
    </message>
    <message>
        <source>未校验</source>
        <translation>Not verified</translation>
    </message>
    <message>
        <source>重新下载“%1”</source>
        <translation>Download “%1” again</translation>
    </message>
    <message>
        <source>严格续传：服务器不给验证信息时重新下载未完成的文件</source>
        <translation>Strict resuming: start an unfinished file over when the server gives no validator</translation>
    </message>
</context>
<context>
    <name>zorvan</name>
    <message>
        <source>正在连接…</source>
        <translation>Connecting…</translation>
    </message>
    <message>
        <source>请稍等</source>
        <translation>Wait</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>获取信息出错！请重试</source>
        <translation>Could not get the works! Please try again</translation>
    </message>
    <message>
        <source>没有找到作品</source>
        <translation>No works found</translation>
    </message>
    <message>
        <source>完毕</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>下载完成。</source>
        <translation>Download complete.</translation>
    </message>
    <message>
        <source>下载已停止，文件没有保存。</source>
        <translation>Download stopped; the file was not saved.</translation>
    </message>
    <message>
        <source>已放弃下载：同名文件已存在。</source>
        <translation>Download given up: a file of that name exists.</translation>
    </message>
    <message>
        <source>下载失败：服务器没有给出文件大小，文件没有保存。</source>
        <translation>Download failed: the server gave no file size; the file was not saved.</translation>
    </message>
    <message>
        <source>下载失败：无法创建文件（文件名不可用、磁盘不可写或空间不足）。</source>
        <translation>Download failed: the file could not be created (unusable name, disk not writable or full).</translation>
    </message>
    <message>
        <source>下载失败：服务器拒绝了下载请求，文件没有保存。</source>
        <translation>Download failed: the server refused the download; the file was not saved.</translation>
    </message>
    <message>
        <source>下载失败：传输多次重试后仍然出错，文件没有保存。</source>
        <translation>Download failed: the transfer kept failing after retries; the file was not saved.</translation>
    </message>
    <message>
        <source>下载失败：文件在下载过程中被服务器更改，文件没有保存。</source>
        <translation>Download failed: the file changed on the server while downloading; the file was not saved.</translation>
    </message>
    <message>
        <source>下载失败：文件无法以它的名字保存，文件没有保存。</source>
        <translation>Download failed: the file could not take its name; the file was not saved.</translation>
    </message>
    <message>
        <source>下载失败：服务器的证书不受信任，文件没有保存。</source>
        <translation>Download failed: the server&apos;s certificate is not trusted; the file was not saved.</translation>
    </message>
    <message>
        <source>下载失败：服务器的证书不是这个主机名的，文件没有保存。</source>
        <translation>Download failed: the server&apos;s certificate is for another host; the file was not saved.</translation>
    </message>
    <message>
        <source>下载失败：服务器的证书已过期或尚未生效，文件没有保存。</source>
        <translation>Download failed: the server&apos;s certificate has expired or is not yet valid; the file was not saved.</translation>
    </message>
    <message>
        <source>下载失败：无法与服务器建立安全连接（TLS 握手失败），文件没有保存。</source>
        <translation>Download failed: no secure connection to the server (TLS handshake failed); the file was not saved.</translation>
    </message>
    <message>
        <source>下载失败：服务器多次在 TLS 记录中途断开连接，文件没有保存。</source>
        <translation>Download failed: the server kept cutting the TLS stream off mid-record; the file was not saved.</translation>
    </message>
    <message>
        <source>下载失败。</source>
        <translation>Download failed.</translation>
    </message>
    <message>
        <source>无法连接服务器，下载已暂停</source>
        <translation>The server cannot be reached; downloads are paused</translation>
    </message>
    <message>
        <source>信息：</source>
        <translation>Information:</translation>
    </message>
    <message>
        <source>（服务器上的文件已更改，重新下载）</source>
        <translation> (the file changed on the server; downloading again)</translation>
    </message>
    <message>
        <source>（服务器不支持断点续传，重新下载）</source>
        <translation> (the server cannot resume; downloading again)</translation>
    </message>
    <message>
        <source>（上次未完成的文件无法继续，重新下载）</source>
        <translation> (the unfinished file cannot be continued; downloading again)</translation>
    </message>
    <message>
        <source>正下载: </source>
        <translation>Downloading: </translation>
    </message>
    <message>
        <source>（连接中断，正在重试 %1）</source>
        <translation> (connection lost, retry %1)</translation>
    </message>
    <message>
        <source>（从 %1% 继续）</source>
        <translation> (continuing from %1%)</translation>
    </message>
    <message>
        <source>文件已存在,继续下载吗?</source>
        <translation>The file exists. Download anyway?</translation>
    </message>
    <message>
        <source>“%1”已存在,继续下载吗?</source>
        <translation>“%1” exists. Download anyway?</translation>
    </message>
    <message>
        <source>这个作品已在下载列表中。</source>
        <translation>This work is already in the download list.</translation>
    </message>
    <message>
        <source>打开所在文件夹</source>
        <translation>Open folder</translation>
    </message>
    <message>
        <source>完成 %1 个，失败 %2 个</source>
        <translation>%1 done, %2 failed</translation>
    </message>
    <message>
        <source>无法读取下载列表：</source>
        <translation>Cannot read the download list: </translation>
    </message>
    <message>
        <source>您还没获取数据哦！</source>
        <translation>You have not fetched any works yet!</translation>
    </message>
    <message>
        <source>无法下载这个作品：地址无效或不受支持。
</source>
        <translation>Cannot download this work: the address is invalid or not supported.
</translation>
    </message>
    <message>
        <source>（没有选中作品）</source>
        <translation>(no work selected)</translation>
    </message>
    <message>
        <source>列表中的作品都已下载。</source>
        <translation>Every work in the list is downloaded.</translation>
    </message>
    <message>
        <source>M/秒</source>
        <translation>M/s</translation>
    </message>
    <message>
        <source>取消下载“%1”吗？已下载的部分将被删除。</source>
        <translation>Cancel the download of “%1”? What was downloaded will be deleted.</translation>
    </message>
    <message>
        <source>还有 %1 个下载未完成，退出吗？下次启动时继续。</source>
        <translation>%1 downloads are not finished. Quit? They continue at the next start.</translation>
    </message>
    <message>
        <source>大小</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>速度</source>
        <translation>Speed</translation>
    </message>
    <message>
        <source>已下载</source>
        <translation>Downloaded</translation>
    </message>
    <message>
        <source>进度</source>
        <translation>Progress</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Continue</translation>
    </message>
    <message>
        <source>重试</source>
        <translation>Retry</translation>
    </message>
    <message>
        <source>全部继续</source>
        <translation>Continue all</translation>
    </message>
    <message>
        <source>清除已完成</source>
        <translation>Clear finished</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>大小 %1 MB，%2</source>
        <translation>Size %1 MB, %2</translation>
    </message>
    <message>
        <source>找不到文件“%1”</source>
        <translation>The file “%1” is not there</translation>
    </message>
    <message>
        <source>删除“%1”吗？文件将移到回收站。</source>
        <translation>Delete “%1”? The file goes to the trash.</translation>
    </message>
    <message>
        <source>无法把“%1”移到回收站，文件没有删除。</source>
        <translation>“%1” could not be moved to the trash; it was not deleted.</translation>
    </message>
    <message>
        <source>     已置顶</source>
        <translation>     On top</translation>
    </message>
    <message>
        <source>友情提醒</source>
        <translation>Note</translation>
    </message>
    <message>
        <source>共 %1 个作品</source>
        <translation>%1 works</translation>
    </message>
    <message>
        <source>%1 / %2 个作品</source>
        <translation>%1 / %2 works</translation>
    </message>
    <message>
        <source>正在获取第%1/%2页</source>
        <translation>Fetching page %1/%2</translation>
    </message>
    <message>
        <source>正在获取数据：%1\%2</source>
        <translation>Reading works %1/%2</translation>
    </message>
    <message>
        <source>下载失败：%1</source>
        <translation>Download failed: %1</translation>
    </message>
    <message>
        <source>无法打开关注列表：</source>
        <translation>Cannot open the list of followed performers: </translation>
    </message>
    <message>
        <source>没有要下载的新作品。</source>
        <translation>There are no new works to download.</translation>
    </message>
    <message>
        <source>不再关注 %1 吗？已下载的文件不会删除。</source>
        <translation>Stop following %1? Downloaded files are kept.</translation>
    </message>
    <message>
        <source>不再关注这 %1 个主播吗？已下载的文件不会删除。</source>
        <translation>Stop following these %1 performers? Downloaded files are kept.</translation>
    </message>
    <message>
        <source>下载新作品</source>
        <translation>Download new works</translation>
    </message>
    <message>
        <source>立即检查</source>
        <translation>Check now</translation>
    </message>
    <message>
        <source>显示作品</source>
        <translation>Show works</translation>
    </message>
    <message>
        <source>取消关注</source>
        <translation>Unfollow</translation>
    </message>
    <message>
        <source>无法检查关注的主播：</source>
        <translation>Cannot check the followed performers: </translation>
    </message>
    <message>
        <source>请先输入主播的 ID。</source>
        <translation>Enter a performer&apos;s id first.</translation>
    </message>
    <message>
        <source>磁盘空间不足</source>
        <translation>not enough disk space</translation>
    </message>
    <message>
        <source>文件夹是只读的</source>
        <translation>the folder is read-only</translation>
    </message>
    <message>
        <source>没有写入文件夹的权限</source>
        <translation>no permission to write in the folder</translation>
    </message>
    <message>
        <source>文件夹不存在</source>
        <translation>the folder does not exist</translation>
    </message>
    <message>
        <source>文件已经下载过了：同名文件与服务器上的文件抽样相符（未逐字节核对）。</source>
        <translation>Already downloaded: the file of that name matches the server&apos;s where sampled (not verified byte for byte).</translation>
    </message>
    <message>
        <source>（同名文件不是这个作品，另存为新文件）</source>
        <translation> (the file of that name is another work: saved under a new name)</translation>
    </message>
    <message>
        <source>全部暂停</source>
        <translation>Pause all</translation>
    </message>
    <message>
        <source>全部取消</source>
        <translation>Cancel all</translation>
    </message>
    <message>
        <source>（已暂停）</source>
        <translation> (paused)</translation>
    </message>
    <message>
        <source>Zorvan 下载</source>
        <translation>Zorvan downloads</translation>
    </message>
    <message>
        <source>无法连接服务器，等待恢复…</source>
        <translation>The server cannot be reached; waiting for it…</translation>
    </message>
    <message>
        <source>移除</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>移到顶部</source>
        <translation>Move to top</translation>
    </message>
    <message>
        <source>移到底部</source>
        <translation>Move to bottom</translation>
    </message>
    <message>
        <source>关注的主播有新作品</source>
        <translation>New works from followed performers</translation>
    </message>
    <message>
        <source>主播 %1：%2 个新作品</source>
        <translation>Performer %1: %2 new works</translation>
    </message>
    <message>
        <source>无法读取媒体库：</source>
        <translation>The media library cannot be read: </translation>
    </message>
    <message>
        <source>无法从这个视频生成海报</source>
        <translation>No poster could be made of this video</translation>
    </message>
    <message>
        <source>已损坏：内容与保存时的 SHA-256 不同</source>
        <translation>Damaged: its SHA-256 differs from the one taken when it was saved</translation>
    </message>
    <message>
        <source>（再次下载它所在的作品即可修复）</source>
        <translation> (download its work again to mend it)</translation>
    </message>
</context>
<context>
    <name>zorvan::ControlBar</name>
    <message>
        <source>播放/暂停（空格）</source>
        <translation>Play/pause (space)</translation>
    </message>
    <message>
        <source>点击或拖动以跳转（左右方向键：5 秒）</source>
        <translation>Click or drag to go there (arrow keys: 5 s)</translation>
    </message>
    <message>
        <source>静音</source>
        <translation>Mute</translation>
    </message>
    <message>
        <source>音量</source>
        <translation>Volume</translation>
    </message>
</context>
<context>
    <name>zorvan::DownloadSettingsDialog</name>
    <message>
        <source>下载设置</source>
        <translation>Download settings</translation>
    </message>
    <message>
        <source>不限</source>
        <translation>No limit</translation>
    </message>
    <message>
        <source> KiB/秒</source>
        <translation> KiB/s</translation>
    </message>
    <message>
        <source>浏览…</source>
        <translation>Browse…</translation>
    </message>
    <message>
        <source>歌名.mp4（都在下载文件夹）</source>
        <translation>Song.mp4 (all in the download folder)</translation>
    </message>
    <message>
        <source>主播ID/序号 歌名.mp4</source>
        <translation>PerformerID/No. Song.mp4</translation>
    </message>
    <message>
        <source>同时下载：</source>
        <translation>Downloads at once:</translation>
    </message>
    <message>
        <source>每个下载的连接数：</source>
        <translation>Connections per download:</translation>
    </message>
    <message>
        <source>总速度限制：</source>
        <translation>Overall speed limit:</translation>
    </message>
    <message>
        <source>下载文件夹：</source>
        <translation>Download folder:</translation>
    </message>
    <message>
        <source>文件命名：</source>
        <translation>File names:</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>下载文件夹</source>
        <translation>Download folder</translation>
    </message>
    <message>
        <source>为媒体服务器在视频旁写海报和 .nfo（Kodi、Jellyfin）</source>
        <translation>Write posters and .nfo files beside the videos for a media server (Kodi, Jellyfin)</translation>
    </message>
    <message>
        <source>媒体服务器：</source>
        <translation>Media server:</translation>
    </message>
    <message>
        <source>严格续传：服务器不给验证信息时重新下载未完成的文件</source>
        <translation>Strict resuming: start an unfinished file over when the server gives no validator</translation>
    </message>
    <message>
        <source>不勾选时，这样的文件抽样核对后继续下载，并标明“未验证”</source>
        <translation>Unticked, such a file is sampled against the server&apos;s and continued, marked “not verified”</translation>
    </message>
    <message>
        <source>续传：</source>
        <translation>Resuming:</translation>
    </message>
</context>
<context>
    <name>zorvan::DownloadWindow</name>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>下载列表</source>
        <translation>Download list</translation>
    </message>
</context>
<context>
    <name>zorvan::DownloadsView</name>
    <message>
        <source>磁盘空间不足：需要 %1，可用 %2</source>
        <translation>not enough disk space: needs %1, %2 free</translation>
    </message>
    <message>
        <source>无法连接服务器</source>
        <translation>The server cannot be reached</translation>
    </message>
    <message>
        <source>长时间没有收到数据</source>
        <translation>No data came for a long time</translation>
    </message>
    <message>
        <source>等待</source>
        <translation>Waiting</translation>
    </message>
    <message>
        <source>下载中（正在重试 %1）</source>
        <translation>Downloading (retry %1)</translation>
    </message>
    <message>
        <source>下载中</source>
        <translation>Downloading</translation>
    </message>
    <message>
        <source>已暂停</source>
        <translation>Paused</translation>
    </message>
    <message>
        <source>失败：</source>
        <translation>Failed: </translation>
    </message>
    <message>
        <source>完毕</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>已存在，未下载</source>
        <translation>Exists, not downloaded</translation>
    </message>
    <message>
        <source>地址已失效，正在查找新地址</source>
        <translation>Address expired; looking for the new one</translation>
    </message>
    <message>
        <source>（地址已更新）</source>
        <translation> (address updated)</translation>
    </message>
    <message>
        <source>下载列表</source>
        <translation>Download list</translation>
    </message>
    <message>
        <source>歌名</source>
        <translation>Song</translation>
    </message>
    <message>
        <source>大小</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>进度</source>
        <translation>Progress</translation>
    </message>
    <message>
        <source>速度</source>
        <translation>Speed</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>State</translation>
    </message>
    <message>
        <source>/秒</source>
        <translation>/s</translation>
    </message>
    <message>
        <source>完毕 %1 个，失败 %2 个，剩余 %3 个，速度 %4/秒</source>
        <translation>%1 done, %2 failed, %3 left, %4/s</translation>
    </message>
    <message>
        <source>。</source>
        <translation>. </translation>
    </message>
    <message>
        <source>信息：</source>
        <translation>Information:</translation>
    </message>
    <message>
        <source>取消下载“%1”吗？已下载的部分将被删除。</source>
        <translation>Cancel the download of “%1”? What was downloaded will be deleted.</translation>
    </message>
    <message>
        <source>取消 %1 个下载吗？已下载的部分将被删除。</source>
        <translation>Cancel %1 downloads? What was downloaded of them will be deleted.</translation>
    </message>
    <message>
        <source>剩余时间</source>
        <translation>Time left</translation>
    </message>
    <message>
        <source>，还需 %1</source>
        <translation>, %1 left</translation>
    </message>
    <message>
        <source>无法连接服务器，等待恢复…</source>
        <translation>The server cannot be reached; waiting for it…</translation>
    </message>
    <message>
        <source>（%1 秒后再试）</source>
        <translation> (trying again in %1 s)</translation>
    </message>
    <message>
        <source>连接中断，正在重试</source>
        <translation>The connection broke; trying again</translation>
    </message>
    <message>
        <source>下载中 %1 个，等待 %2 个，已暂停 %3 个，完毕 %4 个</source>
        <translation>%1 downloading, %2 waiting, %3 paused, %4 done</translation>
    </message>
    <message>
        <source>速度 %1/秒</source>
        <translation>Speed %1/s</translation>
    </message>
    <message>
        <source>显示 Zorvan</source>
        <translation>Show Zorvan</translation>
    </message>
    <message>
        <source>全部暂停</source>
        <translation>Pause all</translation>
    </message>
    <message>
        <source>全部继续</source>
        <translation>Continue all</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>已加入 %1 个作品</source>
        <translation>%1 works added</translation>
    </message>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
    <message>
        <source>由服务下载中</source>
        <translation>Being downloaded by the server</translation>
    </message>
    <message>
        <source>等待服务器恢复</source>
        <translation>Waiting for the server</translation>
    </message>
</context>
<context>
    <name>zorvan::FollowWatch</name>
    <message>
        <source>检查失败：</source>
        <translation>Check failed: </translation>
    </message>
    <message>
        <source>无法连接服务</source>
        <translation>cannot reach the service</translation>
    </message>
    <message>
        <source>服务说没有这个主播</source>
        <translation>the service has no such performer</translation>
    </message>
    <message>
        <source>服务的回答不是作品列表</source>
        <translation>the service&apos;s answer is not a works list</translation>
    </message>
</context>
<context>
    <name>zorvan::FollowingView</name>
    <message>
        <source>从未检查</source>
        <translation>Never</translation>
    </message>
    <message>
        <source>%1 个新作品</source>
        <translation>%1 new</translation>
    </message>
    <message>
        <source>关注列表</source>
        <translation>Following</translation>
    </message>
    <message>
        <source>主播</source>
        <translation>Performer</translation>
    </message>
    <message>
        <source>新作品</source>
        <translation>New</translation>
    </message>
    <message>
        <source>作品</source>
        <translation>Works</translation>
    </message>
    <message>
        <source>上次检查</source>
        <translation>Last check</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>State</translation>
    </message>
    <message>
        <source>正在检查…</source>
        <translation>Checking…</translation>
    </message>
    <message>
        <source>还没有关注主播：在作品列表的菜单中选“关注”。</source>
        <translation>No performer is followed yet: choose &quot;Follow&quot; in the works list&apos;s menu.</translation>
    </message>
</context>
<context>
    <name>zorvan::MainWindow</name>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>主播Lumo：</source>
        <translation>Lumo id:</translation>
    </message>
    <message>
        <source>已下载：</source>
        <translation>Downloaded:</translation>
    </message>
    <message>
        <source>菜单</source>
        <translation>Menu</translation>
    </message>
    <message>
        <source>播放</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>下载</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>查看已下载</source>
        <translation>Show downloaded</translation>
    </message>
    <message>
        <source>置顶</source>
        <translation>Stay on top</translation>
    </message>
    <message>
        <source>全部下载</source>
        <translation>Download all</translation>
    </message>
    <message>
        <source>下载列表</source>
        <translation>Download list</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>关注</source>
        <translation>Follow</translation>
    </message>
    <message>
        <source>关注列表</source>
        <translation>Following</translation>
    </message>
    <message>
        <source>歌名</source>
        <translation>Song</translation>
    </message>
    <message>
        <source>搜索歌名</source>
        <translation>Search songs</translation>
    </message>
    <message>
        <source>媒体库</source>
        <translation>Media library</translation>
    </message>
</context>
<context>
    <name>zorvan::MediaWall</name>
    <message>
        <source>媒体库</source>
        <translation>Media library</translation>
    </message>
    <message>
        <source>主播</source>
        <translation>Performer</translation>
    </message>
    <message>
        <source>搜索歌名</source>
        <translation>Search songs</translation>
    </message>
    <message>
        <source>最新在前</source>
        <translation>Newest first</translation>
    </message>
    <message>
        <source>按序号</source>
        <translation>By number</translation>
    </message>
    <message>
        <source>全部主播</source>
        <translation>All performers</translation>
    </message>
    <message>
        <source>媒体库里还没有作品。</source>
        <translation>No works in the media library yet.</translation>
    </message>
    <message>
        <source>共 %1 个作品</source>
        <translation>%1 works</translation>
    </message>
    <message>
        <source>播放</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>打开所在文件夹</source>
        <translation>Open folder</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
</context>
<context>
    <name>zorvan::PlayerView</name>
    <message>
        <source>无法播放：无法连接服务器</source>
        <translation>Cannot play: the server cannot be reached</translation>
    </message>
    <message>
        <source>无法播放：服务器回答 %1</source>
        <translation>Cannot play: the server answered %1</translation>
    </message>
    <message>
        <source>无法播放：文件格式不支持</source>
        <translation>Cannot play: not a video format that can be played</translation>
    </message>
    <message>
        <source>正在载入…</source>
        <translation>Loading…</translation>
    </message>
    <message>
        <source>正在缓冲…</source>
        <translation>Buffering…</translation>
    </message>
    <message>
        <source>无法播放：</source>
        <translation>Cannot play: </translation>
    </message>
    <message>
        <source>无法播放：找不到这个文件</source>
        <translation>Cannot play: the file is not there</translation>
    </message>
</context>
<context>
    <name>zorvan::ServiceSettingsDialog</name>
    <message>
        <source>无法连接：服务器回答 %1</source>
        <translation>Cannot connect: the server answered %1</translation>
    </message>
    <message>
        <source>无法连接：找不到这个主机</source>
        <translation>Cannot connect: no such host</translation>
    </message>
    <message>
        <source>无法连接：服务器拒绝连接或无法到达</source>
        <translation>Cannot connect: the server refused or cannot be reached</translation>
    </message>
    <message>
        <source>无法连接：连接超时</source>
        <translation>Cannot connect: timed out</translation>
    </message>
    <message>
        <source>无法连接：%1</source>
        <translation>Cannot connect: %1</translation>
    </message>
    <message>
        <source>服务有回答，但不是作品列表</source>
        <translation>The service answered, but not with a works list</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>视频服务地址：</source>
        <translation>Video service address:</translation>
    </message>
    <message>
        <source>http://主机:端口</source>
        <translation>http://host:port</translation>
    </message>
    <message>
        <source>本次启动由 --service 或 ZORVAN_SERVICE 指定了 %1；这里的地址在不带它们启动时使用。</source>
        <translation>This run uses %1 from --service or ZORVAN_SERVICE; the address here is used when Zorvan starts without them.</translation>
    </message>
    <message>
        <source>界面语言（下次启动时生效）：</source>
        <translation>Language (from the next start):</translation>
    </message>
    <message>
        <source>跟随系统</source>
        <translation>As the desktop</translation>
    </message>
    <message>
        <source>检查</source>
        <translation>Check</translation>
    </message>
    <message>
        <source>地址应以 http:// 或 https:// 开头</source>
        <translation>The address must start with http:// or https://</translation>
    </message>
    <message>
        <source>正在检查…</source>
        <translation>Checking…</translation>
    </message>
    <message>
        <source>可以使用：服务回答了作品列表</source>
        <translation>Usable: the service answered with a works list</translation>
    </message>
</context>
</TS>
