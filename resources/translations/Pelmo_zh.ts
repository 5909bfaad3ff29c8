<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>BatchCharts</name>
    <message>
        <source>a*b* plot</source>
        <translation>a*b* 分布图</translation>
    </message>
    <message>
        <source>ΔL* chart</source>
        <translation>ΔL* 图</translation>
    </message>
    <message>
        <source>ΔE run chart</source>
        <translation>ΔE 趋势图</translation>
    </message>
    <message>
        <source>No tolerance contour: the ΔE formula or threshold of the current row is unknown</source>
        <translation>无容差轮廓：当前行的 ΔE 公式或阈值未知</translation>
    </message>
    <message>
        <source>Δa*   (−a* green ← → +a* red)</source>
        <translation>Δa*   (−a* 偏绿 ← → +a* 偏红)</translation>
    </message>
    <message>
        <source>Δb*   (−b* blue ← → +b* yellow)</source>
        <translation>Δb*   (−b* 偏蓝 ← → +b* 偏黄)</translation>
    </message>
    <message>
        <source>Row</source>
        <translation>行</translation>
    </message>
    <message>
        <source>ΔL*   (− darker, + lighter)</source>
        <translation>ΔL*   (− 偏暗, + 偏亮)</translation>
    </message>
    <message>
        <source>ΔE</source>
        <translation>ΔE</translation>
    </message>
    <message>
        <source>PASS</source>
        <translation>合格</translation>
    </message>
    <message>
        <source>NG</source>
        <translation>不合格</translation>
    </message>
    <message>
        <source>Near limit</source>
        <translation>接近限值</translation>
    </message>
    <message>
        <source>Tolerance contour %1 = %2</source>
        <translation>容差轮廓 %1 = %2</translation>
    </message>
    <message>
        <source>Tolerance contour</source>
        <translation>容差轮廓</translation>
    </message>
    <message>
        <source>ΔL* alone at the threshold</source>
        <translation>单独达到阈值的 ΔL*</translation>
    </message>
    <message>
        <source>Threshold %1</source>
        <translation>阈值 %1</translation>
    </message>
    <message>
        <source>Near limit: above %1 % of the threshold</source>
        <translation>接近限值：高于阈值的 %1 %</translation>
    </message>
</context>
<context>
    <name>BatchReport</name>
    <message>
        <source>Selected rows: %1 of %2</source>
        <translation>所选行：%1 / %2</translation>
    </message>
    <message>
        <source>All rows: %1</source>
        <translation>全部行：%1</translation>
    </message>
    <message>
        <source>above %1 % of the threshold</source>
        <translation>高于阈值的 %1 %</translation>
    </message>
    <message>
        <source>off</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Device:</source>
        <translation>测试设备:</translation>
    </message>
    <message>
        <source>SN:</source>
        <translation>SN号:</translation>
    </message>
    <message>
        <source>ΔE formula:</source>
        <translation>ΔE公式:</translation>
    </message>
    <message>
        <source>ΔE threshold:</source>
        <translation>ΔE阀值:</translation>
    </message>
    <message>
        <source>First time:</source>
        <translation>首次时间:</translation>
    </message>
    <message>
        <source>Last time:</source>
        <translation>末次时间:</translation>
    </message>
    <message>
        <source>Company:</source>
        <translation>公司名称:</translation>
    </message>
    <message>
        <source>Tester:</source>
        <translation>测试人:</translation>
    </message>
    <message>
        <source>Auditor:</source>
        <translation>审核人:</translation>
    </message>
    <message>
        <source>Rows:</source>
        <translation>行:</translation>
    </message>
    <message>
        <source>Near-limit band:</source>
        <translation>接近限值带:</translation>
    </message>
    <message>
        <source>Printed:</source>
        <translation>打印时间:</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>Rows judged:</source>
        <translation>已判定行:</translation>
    </message>
    <message>
        <source>PASS:</source>
        <translation>合格:</translation>
    </message>
    <message>
        <source>NG:</source>
        <translation>不合格:</translation>
    </message>
    <message>
        <source>Pass rate:</source>
        <translation>合格率:</translation>
    </message>
    <message>
        <source>Near limit:</source>
        <translation>接近限值:</translation>
    </message>
    <message>
        <source>Largest ΔE:</source>
        <translation>最大 ΔE:</translation>
    </message>
    <message>
        <source>Not judged:</source>
        <translation>未判定:</translation>
    </message>
    <message>
        <source>No.</source>
        <translation>序号</translation>
    </message>
    <message>
        <source>Test Name</source>
        <translation>测试名称</translation>
    </message>
    <message>
        <source>DateTime</source>
        <translation>日期时间</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>结果</translation>
    </message>
    <message>
        <source>Note</source>
        <translation>备注</translation>
    </message>
    <message>
        <source>PASS</source>
        <translation>合格</translation>
    </message>
    <message>
        <source>near limit</source>
        <translation>接近限值</translation>
    </message>
    <message>
        <source>NG</source>
        <translation>不合格</translation>
    </message>
    <message>
        <source>not judged</source>
        <translation>未判定</translation>
    </message>
    <message>
        <source>Batch Report</source>
        <translation>批量报告</translation>
    </message>
    <message>
        <source>Statistics</source>
        <translation>统计</translation>
    </message>
    <message>
        <source>Mean</source>
        <translation>平均值</translation>
    </message>
    <message>
        <source>SD</source>
        <translation>标准差</translation>
    </message>
    <message>
        <source>Min</source>
        <translation>最小值</translation>
    </message>
    <message>
        <source>Max</source>
        <translation>最大值</translation>
    </message>
</context>
<context>
    <name>BatchWindow</name>
    <message>
        <source>Batch</source>
        <translation>批量</translation>
    </message>
    <message>
        <source>a*b* plot</source>
        <translation>a*b* 分布图</translation>
    </message>
    <message>
        <source>ΔL* chart</source>
        <translation>ΔL* 图</translation>
    </message>
    <message>
        <source>ΔE run chart</source>
        <translation>ΔE 趋势图</translation>
    </message>
    <message>
        <source>Statistics</source>
        <translation>统计</translation>
    </message>
    <message>
        <source>Rows judged:</source>
        <translation>已判定行:</translation>
    </message>
    <message>
        <source>PASS:</source>
        <translation>合格:</translation>
    </message>
    <message>
        <source>NG:</source>
        <translation>不合格:</translation>
    </message>
    <message>
        <source>Pass rate:</source>
        <translation>合格率:</translation>
    </message>
    <message>
        <source>Near limit:</source>
        <translation>接近限值:</translation>
    </message>
    <message>
        <source>Largest ΔE:</source>
        <translation>最大 ΔE:</translation>
    </message>
    <message>
        <source>Not judged:</source>
        <translation>未判定:</translation>
    </message>
    <message>
        <source>Near-limit band</source>
        <translation>接近限值带</translation>
    </message>
    <message>
        <source>Warn at</source>
        <translation>提醒于</translation>
    </message>
    <message>
        <source> %</source>
        <translation> %</translation>
    </message>
    <message>
        <source>of the threshold</source>
        <translation>阈值</translation>
    </message>
    <message>
        <source>Save picture...</source>
        <translation>保存图片...</translation>
    </message>
    <message>
        <source>Copy picture</source>
        <translation>复制图片</translation>
    </message>
    <message>
        <source>Save data...</source>
        <translation>保存数据...</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>打印</translation>
    </message>
    <message>
        <source>Mean</source>
        <translation>平均值</translation>
    </message>
    <message>
        <source>SD</source>
        <translation>标准差</translation>
    </message>
    <message>
        <source>Min</source>
        <translation>最小值</translation>
    </message>
    <message>
        <source>Max</source>
        <translation>最大值</translation>
    </message>
    <message>
        <source>off</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>Row %1: %2</source>
        <translation>第 %1 行：%2</translation>
    </message>
    <message>
        <source>Selected rows: %1 of %2</source>
        <translation>所选行：%1 / %2</translation>
    </message>
    <message>
        <source>All rows: %1</source>
        <translation>全部行：%1</translation>
    </message>
    <message>
        <source>PNG picture (*.png)</source>
        <translation>PNG 图片 (*.png)</translation>
    </message>
    <message>
        <source>SVG picture (*.svg)</source>
        <translation>SVG 图片 (*.svg)</translation>
    </message>
    <message>
        <source>Save picture</source>
        <translation>保存图片</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>The picture could not be saved.</source>
        <translation>图片无法保存。</translation>
    </message>
    <message>
        <source>CSV file (*.csv)</source>
        <translation>CSV 文件 (*.csv)</translation>
    </message>
    <message>
        <source>Save data</source>
        <translation>保存数据</translation>
    </message>
    <message>
        <source>The data could not be saved.</source>
        <translation>数据无法保存。</translation>
    </message>
    <message>
        <source>The batch report could not be printed.</source>
        <translation>批量报告无法打印。</translation>
    </message>
</context>
<context>
    <name>Colorimeter</name>
    <message>
        <source>△E*ab</source>
        <translation>△E*ab</translation>
    </message>
    <message>
        <source>△E*uv</source>
        <translation>△E*uv</translation>
    </message>
    <message>
        <source>△E*94</source>
        <translation>△E*94</translation>
    </message>
    <message>
        <source>△E*cmc(2:1)</source>
        <translation>△E*cmc(2:1)</translation>
    </message>
    <message>
        <source>△E*cmc(1:1)</source>
        <translation>△E*cmc(1:1)</translation>
    </message>
    <message>
        <source>△E*00</source>
        <translation>△E*00</translation>
    </message>
    <message>
        <source>△</source>
        <translation>△</translation>
    </message>
    <message>
        <source>△E</source>
        <translation>△E</translation>
    </message>
</context>
<context>
    <name>DemoPanel</name>
    <message>
        <source>Virtual instrument</source>
        <translation>虚拟仪器</translation>
    </message>
    <message>
        <source>Press instrument button</source>
        <translation>按下仪器按键</translation>
    </message>
    <message>
        <source>Unplug</source>
        <translation>拔出</translation>
    </message>
    <message>
        <source>Plug</source>
        <translation>插入</translation>
    </message>
    <message>
        <source>Instrument plugged in</source>
        <translation>仪器已插入</translation>
    </message>
    <message>
        <source>Instrument unplugged</source>
        <translation>仪器已拔出</translation>
    </message>
</context>
<context>
    <name>FirstPageForTesk</name>
    <message>
        <source>More black</source>
        <translation>偏黑</translation>
    </message>
    <message>
        <source>Slight black</source>
        <translation>略偏黑</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>正常</translation>
    </message>
    <message>
        <source>Slight white</source>
        <translation>略偏白</translation>
    </message>
    <message>
        <source>More white</source>
        <translation>偏白</translation>
    </message>
    <message>
        <source>More green</source>
        <translation>偏绿</translation>
    </message>
    <message>
        <source>Slight green</source>
        <translation>略偏绿</translation>
    </message>
    <message>
        <source>Slight red</source>
        <translation>略偏红</translation>
    </message>
    <message>
        <source>More red</source>
        <translation>偏红</translation>
    </message>
    <message>
        <source>More Blue</source>
        <translation>偏蓝</translation>
    </message>
    <message>
        <source>Slight blue</source>
        <translation>略偏蓝</translation>
    </message>
    <message>
        <source>Slight yellow</source>
        <translation>略偏黄</translation>
    </message>
    <message>
        <source>More yellow</source>
        <translation>偏黄</translation>
    </message>
    <message>
        <source>Form</source>
        <translation>表单</translation>
    </message>
    <message>
        <source>Device information</source>
        <translation>设备信息</translation>
    </message>
    <message>
        <source>SN:</source>
        <translation>序列号：</translation>
    </message>
    <message>
        <source>Production Date:</source>
        <translation>生产日期：</translation>
    </message>
    <message>
        <source>Calibration Date:</source>
        <translation>校准日期：</translation>
    </message>
    <message>
        <source>Device Name:</source>
        <translation>设备名称：</translation>
    </message>
    <message>
        <source>Firmware Version:</source>
        <translation>固件版本：</translation>
    </message>
    <message>
        <source> Color difference measurement</source>
        <translation> 色差测量</translation>
    </message>
    <message>
        <source>Scan Standard</source>
        <translation>测量标准</translation>
    </message>
    <message>
        <source>Scan Sample</source>
        <translation>测量样品</translation>
    </message>
    <message>
        <source>△E parameter</source>
        <translation>△E参数</translation>
    </message>
    <message>
        <source>△E formula:</source>
        <translation>△E公式：</translation>
    </message>
    <message>
        <source>△E Thresholds:</source>
        <translation>△E阈值：</translation>
    </message>
    <message>
        <source>Set parameter </source>
        <translation>设置参数 </translation>
    </message>
    <message>
        <source>Read parameter</source>
        <translation>读取参数</translation>
    </message>
    <message>
        <source>Data transmission</source>
        <translation>数据传输</translation>
    </message>
    <message>
        <source>Read mycolor</source>
        <translation>读取我的颜色</translation>
    </message>
    <message>
        <source>Write mycolor</source>
        <translation>写入我的颜色</translation>
    </message>
    <message>
        <source>Read color difference record</source>
        <translation>读取色差记录</translation>
    </message>
    <message>
        <source>Write stdcolor</source>
        <translation>写入标准色</translation>
    </message>
    <message>
        <source>Count</source>
        <translation>统计</translation>
    </message>
    <message>
        <source>NG </source>
        <translation>不合格 </translation>
    </message>
    <message>
        <source>PASS </source>
        <translation>合格 </translation>
    </message>
    <message>
        <source>Total</source>
        <translation>总数</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>清空</translation>
    </message>
    <message>
        <source>Export Excel</source>
        <translation>导出Excel</translation>
    </message>
    <message>
        <source>Import data</source>
        <translation>导入数据</translation>
    </message>
    <message>
        <source>Colour Instruments Co., Ltd.</source>
        <translation>色彩仪器有限公司</translation>
    </message>
    <message>
        <source>www.example.com</source>
        <translation>www.example.com</translation>
    </message>
    <message>
        <source>Error：</source>
        <translation>错误：</translation>
    </message>
    <message>
        <source>Can&apos;t open file！</source>
        <translation>无法打开文件！</translation>
    </message>
    <message>
        <source>Failed to read excel file！</source>
        <translation>读取Excel文件失败！</translation>
    </message>
    <message>
        <source>UnKnow</source>
        <translation>未知</translation>
    </message>
    <message>
        <source>Warn</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>The instrument is not configured production information!</source>
        <translation>仪器未配置生产信息！</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Failed to read device information!</source>
        <translation>读取设备信息失败！</translation>
    </message>
    <message>
        <source>Failed to read calibration date!</source>
        <translation>读取校准日期失败！</translation>
    </message>
    <message>
        <source>Failed to read software version number!</source>
        <translation>读取软件版本号失败！</translation>
    </message>
    <message>
        <source>Please connect the device first!</source>
        <translation>请先连接设备！</translation>
    </message>
    <message>
        <source>Failed to read △E parameter information!</source>
        <translation>读取△E参数信息失败！</translation>
    </message>
    <message>
        <source>Standard</source>
        <translation>标准</translation>
    </message>
    <message>
        <source>Sample</source>
        <translation>样品</translation>
    </message>
    <message>
        <source>NG</source>
        <translation>不合格</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>Report</source>
        <translation>报告</translation>
    </message>
    <message>
        <source>PASS</source>
        <translation>合格</translation>
    </message>
    <message>
        <source>NO</source>
        <translation>序号</translation>
    </message>
    <message>
        <source>Test Name</source>
        <translation>测试名称</translation>
    </message>
    <message>
        <source>DateTime</source>
        <translation>日期时间</translation>
    </message>
    <message>
        <source>Pass or not</source>
        <translation>是否合格</translation>
    </message>
    <message>
        <source>-----</source>
        <translation>-----</translation>
    </message>
    <message>
        <source>openThreadSlot</source>
        <translation>openThreadSlot</translation>
    </message>
    <message>
        <source>closeThreadSlot</source>
        <translation>closeThreadSlot</translation>
    </message>
    <message>
        <source>Failed to read measurement data!</source>
        <translation>读取测量数据失败！</translation>
    </message>
    <message>
        <source>error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>No data for Storing to Excel!</source>
        <translation>没有可存储到Excel的数据！</translation>
    </message>
    <message>
        <source>Storing data to Excel</source>
        <translation>存储数据到Excel</translation>
    </message>
    <message>
        <source>%1 already exists.
Do you want to replace it?</source>
        <translation>%1 已存在。
是否替换？</translation>
    </message>
    <message>
        <source>Can&apos;t overwrite this file, maybe the file is in use!</source>
        <translation>无法覆盖此文件，文件可能正在使用！</translation>
    </message>
    <message>
        <source>Failed to store data, can&apos;t open file!</source>
        <translation>存储数据失败，无法打开文件！</translation>
    </message>
    <message>
        <source>Data import willempty the list, to save data first?</source>
        <translation>导入数据将清空列表，是否先保存数据？</translation>
    </message>
    <message>
        <source>Select one Excel files to open</source>
        <translation>选择要打开的Excel文件</translation>
    </message>
    <message>
        <source>△E parameters unknown</source>
        <translation>△E参数未知</translation>
    </message>
    <message>
        <source>Can&apos;t open file!</source>
        <translation>无法打开文件！</translation>
    </message>
    <message>
        <source>Failed to read my color number!</source>
        <translation>读取我的颜色数量失败！</translation>
    </message>
    <message>
        <source>Storing data,please wait...</source>
        <translation>正在存储数据，请稍候...</translation>
    </message>
    <message>
        <source>cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Failed to read my color data!</source>
        <translation>读取我的颜色数据失败！</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>信息</translation>
    </message>
    <message>
        <source>Read my color data successfully!</source>
        <translation>读取我的颜色数据成功！</translation>
    </message>
    <message>
        <source>Failed to export data to excel file</source>
        <translation>导出数据到Excel文件失败</translation>
    </message>
    <message>
        <source>The written contents do not match and cannot be written!</source>
        <translation>写入内容不匹配，无法写入！</translation>
    </message>
    <message>
        <source>Write my color information, data error, unable to write!</source>
        <translation>我的颜色信息数据错误，无法写入！</translation>
    </message>
    <message>
        <source>Failed to write my color information!</source>
        <translation>写入我的颜色信息失败！</translation>
    </message>
    <message>
        <source>Error in Excel file with not enough rows of my color!</source>
        <translation>Excel文件错误，我的颜色行数不足！</translation>
    </message>
    <message>
        <source>Failed to write my color data!</source>
        <translation>写入我的颜色数据失败！</translation>
    </message>
    <message>
        <source>Write my color data successfully!</source>
        <translation>写入我的颜色数据成功！</translation>
    </message>
    <message>
        <source>Color difference history data error, unable to export!</source>
        <translation>色差历史数据错误，无法导出！</translation>
    </message>
    <message>
        <source>Failed to read the number of color difference records!</source>
        <translation>读取色差记录数量失败！</translation>
    </message>
    <message>
        <source>Reading color difference recording lab data failed!</source>
        <translation>读取色差记录Lab数据失败！</translation>
    </message>
    <message>
        <source>Failed to read color difference record name data!</source>
        <translation>读取色差记录名称数据失败！</translation>
    </message>
    <message>
        <source>File error, unable to write!</source>
        <translation>文件错误，无法写入！</translation>
    </message>
    <message>
        <source>Error in Excel file with not enough rows of standard color cards!</source>
        <translation>Excel文件错误，标准色卡行数不足！</translation>
    </message>
    <message>
        <source>Failed to write the total number of standard color cards!</source>
        <translation>写入标准色卡总数失败！</translation>
    </message>
    <message>
        <source>Failed to write standard color card information!</source>
        <translation>写入标准色卡信息失败！</translation>
    </message>
    <message>
        <source>Failed to write standard color card data!</source>
        <translation>写入标准色卡数据失败！</translation>
    </message>
    <message>
        <source>Failed to write!</source>
        <translation>写入失败！</translation>
    </message>
    <message>
        <source>Failed to write empty packet!</source>
        <translation>写入空包失败！</translation>
    </message>
    <message>
        <source>Write to standard color card library successfully!</source>
        <translation>写入标准色卡库成功！</translation>
    </message>
    <message>
        <source>Failed to read excel file!</source>
        <translation>读取Excel文件失败！</translation>
    </message>
    <message>
        <source>The records were not judged because the △E parameters are unknown.</source>
        <translation>△E参数未知，记录未作判定。</translation>
    </message>
    <message>
        <source>The standard color card name &quot;%1&quot; is longer than 16 bytes, unable to write!</source>
        <translation>标准色卡名称“%1”超过16字节，无法写入！</translation>
    </message>
    <message>
        <source>The value %1 in row %2 is outside -327.68 to 327.67, unable to write!</source>
        <translation>第%2行的数值%1超出-327.68至327.67的范围，无法写入！</translation>
    </message>
    <message>
        <source>Batch</source>
        <translation>批量</translation>
    </message>
    <message>
        <source>History</source>
        <translation>历史记录</translation>
    </message>
</context>
<context>
    <name>HistoryCheck</name>
    <message>
        <source>intact, %1 events</source>
        <translation>完好，共 %1 条事件</translation>
    </message>
    <message>
        <source>broken at event %1: it was changed after it was written</source>
        <translation>在第 %1 条事件处断开：该事件写入后被修改过</translation>
    </message>
    <message>
        <source>broken at event %1: it has been removed</source>
        <translation>在第 %1 条事件处断开：该事件已被删除</translation>
    </message>
    <message>
        <source>broken after event %1: the newest events have been removed</source>
        <translation>在第 %1 条事件之后断开：最新的事件已被删除</translation>
    </message>
    <message>
        <source>broken at event %1: it is not the event this program wrote there</source>
        <translation>在第 %1 条事件处断开：该事件不是本程序在此处写入的事件</translation>
    </message>
    <message>
        <source>the stored row %1 is not what its events say</source>
        <translation>保存的第 %1 行与其事件记录不符</translation>
    </message>
    <message>
        <source>a row its events describe has been removed</source>
        <translation>事件记录中的一行已被删除</translation>
    </message>
    <message>
        <source>the stored row %1 has no event that adds it</source>
        <translation>保存的第 %1 行没有添加它的事件</translation>
    </message>
    <message>
        <source>the history cannot be read</source>
        <translation>无法读取历史记录</translation>
    </message>
    <message>
        <source>the check was cancelled</source>
        <translation>检查已取消</translation>
    </message>
    <message>
        <source>intact, %1 events in %2 chains</source>
        <translation>完好，%2 条链中共 %1 条事件</translation>
    </message>
</context>
<context>
    <name>HistoryController</name>
    <message>
        <source>Warn</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>The history file was damaged. It has been moved aside to %1 and a new history has been started.</source>
        <translation>历史记录文件已损坏，已移到 %1，并已新建历史记录。</translation>
    </message>
    <message>
        <source>Colorimeter</source>
        <translation>色差仪</translation>
    </message>
    <message>
        <source>The last session ended with %1 measurements in the table that were neither exported nor cleared. Put them back into the table?</source>
        <translation>上次运行结束时，表格中有 %1 条测量数据既未导出也未清除。是否将它们恢复到表格中？</translation>
    </message>
    <message>
        <source>The measurement history is off: %1. Measuring goes on as before, but the rows are kept in the table only.</source>
        <translation>测量历史记录已关闭：%1。测量照常进行，但数据只保存在表格中。</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>导出</translation>
    </message>
    <message>
        <source>Close anyway</source>
        <translation>仍然关闭</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>The table holds %1 measurements that were never exported. Export them before closing?</source>
        <translation>表格中有 %1 条测量数据尚未导出。关闭前是否先导出？</translation>
    </message>
    <message>
        <source>(%1)</source>
        <comment>the database&apos;s own words for a failure</comment>
        <translation>（%1）</translation>
    </message>
    <message>
        <source>the history file %1 is damaged; it will be moved aside and a new history started when the program starts next</source>
        <translation>历史记录文件 %1 已损坏；下次启动程序时会将其移走并新建历史记录</translation>
    </message>
    <message>
        <source>History</source>
        <translation>历史记录</translation>
    </message>
    <message>
        <source>The measurement history is off.</source>
        <translation>测量历史记录已关闭。</translation>
    </message>
    <message>
        <source>The measurement history is off: %1.</source>
        <translation>测量历史记录已关闭：%1。</translation>
    </message>
    <message>
        <source>The rows cannot be sent to the history server: %1. They stay on this computer.</source>
        <translation>无法将数据发送到历史记录服务器：%1。数据保留在本机上。</translation>
    </message>
    <message>
        <source>The history server cannot be used: %1. Measuring goes on: the rows are kept on this computer and sent when the server can be used again.</source>
        <translation>无法使用历史记录服务器：%1。测量照常进行：数据保存在本机上，待服务器可用时再发送。</translation>
    </message>
    <message>
        <source>No rows can be removed from this computer yet: the history server %1 has not confirmed any row that is in no table.</source>
        <translation>本机上暂时没有可移除的数据：历史记录服务器 %1 尚未确认任何不在表格中的数据。</translation>
    </message>
    <message>
        <source>The history server %1 has confirmed %2 rows that are in no table. Remove them from this computer? They stay on the server.</source>
        <translation>历史记录服务器 %1 已确认 %2 条不在表格中的数据。要从本机移除它们吗？服务器上仍会保留。</translation>
    </message>
    <message>
        <source>%1 rows were removed from this computer; the history server keeps them.</source>
        <translation>已从本机移除 %1 条数据；历史记录服务器仍保留它们。</translation>
    </message>
    <message>
        <source>The history cannot be read: %1</source>
        <translation>无法读取历史记录：%1</translation>
    </message>
</context>
<context>
    <name>HistoryExport</name>
    <message>
        <source>the history cannot be read (%1)</source>
        <translation>无法读取历史记录（%1）</translation>
    </message>
    <message>
        <source>%1 cannot be written (%2)</source>
        <translation>无法写入 %1（%2）</translation>
    </message>
    <message>
        <source>an .xls sheet holds %1 rows at most, and %2 were chosen: export them as .xlsx</source>
        <translation>.xls 工作表最多只能容纳 %1 行，而选择了 %2 行：请导出为 .xlsx</translation>
    </message>
    <message>
        <source>the export was cancelled</source>
        <translation>导出已取消</translation>
    </message>
</context>
<context>
    <name>HistoryLocationDialog</name>
    <message>
        <source>Where the history lives</source>
        <translation>历史记录的保存位置</translation>
    </message>
    <message>
        <source>On this computer only</source>
        <translation>仅保存在本机</translation>
    </message>
    <message>
        <source>Also on the laboratory&apos;s PostgreSQL server</source>
        <translation>同时保存到实验室的 PostgreSQL 服务器</translation>
    </message>
    <message>
        <source>Server</source>
        <translation>服务器</translation>
    </message>
    <message>
        <source>Host:</source>
        <translation>主机：</translation>
    </message>
    <message>
        <source>localhost</source>
        <translation>localhost</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>端口：</translation>
    </message>
    <message>
        <source>default (5432)</source>
        <translation>默认（5432）</translation>
    </message>
    <message>
        <source>Database:</source>
        <translation>数据库：</translation>
    </message>
    <message>
        <source>User:</source>
        <translation>用户：</translation>
    </message>
    <message>
        <source>Service:</source>
        <translation>服务：</translation>
    </message>
    <message>
        <source>The password is never kept by this program: it comes from the file ~/.pgpass or from the service file (pg_service.conf). Rows are always stored on this computer first and sent to the server from there.</source>
        <translation>本程序从不保存密码：密码来自文件 ~/.pgpass 或服务文件（pg_service.conf）。数据总是先保存在本机，再从本机发送到服务器。</translation>
    </message>
    <message>
        <source>Remove the rows the server has from this computer...</source>
        <translation>从本机移除服务器已有的数据...</translation>
    </message>
    <message>
        <source>This desk</source>
        <translation>本工位</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>名称：</translation>
    </message>
    <message>
        <source>Identity:</source>
        <translation>标识：</translation>
    </message>
</context>
<context>
    <name>HistoryOutbox</name>
    <message>
        <source>the history file %1 cannot be read (%2)</source>
        <translation>无法读取历史记录文件 %1（%2）</translation>
    </message>
    <message>
        <source>the history file %1 cannot be opened</source>
        <translation>无法打开历史记录文件 %1</translation>
    </message>
    <message>
        <source>the history file %1 has another layout</source>
        <translation>历史记录文件 %1 的格式不同</translation>
    </message>
</context>
<context>
    <name>HistoryRowsModel</name>
    <message>
        <source>Stored</source>
        <translation>保存时间</translation>
    </message>
    <message>
        <source>Origin</source>
        <translation>来源</translation>
    </message>
    <message>
        <source>State</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>Run</source>
        <translation>批次</translation>
    </message>
    <message>
        <source>Desk</source>
        <translation>工位</translation>
    </message>
</context>
<context>
    <name>HistoryRunsModel</name>
    <message>
        <source>Started</source>
        <translation>开始</translation>
    </message>
    <message>
        <source>Ended</source>
        <translation>结束</translation>
    </message>
    <message>
        <source>How it ended</source>
        <translation>结束方式</translation>
    </message>
    <message>
        <source>Rows</source>
        <translation>行数</translation>
    </message>
    <message>
        <source>PASS</source>
        <translation>合格</translation>
    </message>
    <message>
        <source>NG</source>
        <translation>不合格</translation>
    </message>
    <message>
        <source>Exported to</source>
        <translation>导出到</translation>
    </message>
</context>
<context>
    <name>HistorySenderStatus</name>
    <message numerus="yes">
        <source>%n rows waiting</source>
        <translation>
            <numerusform>%n 条数据等待发送</numerusform>
        </translation>
    </message>
    <message>
        <source>sending to the history server, %1</source>
        <translation>正在发送到历史记录服务器，%1</translation>
    </message>
    <message>
        <source>history server unreachable</source>
        <translation>无法连接历史记录服务器</translation>
    </message>
    <message>
        <source>history server refused the login</source>
        <translation>历史记录服务器拒绝登录</translation>
    </message>
    <message>
        <source>history server has no such database</source>
        <translation>历史记录服务器上没有该数据库</translation>
    </message>
    <message>
        <source>history server of a newer version</source>
        <translation>历史记录服务器的版本较新</translation>
    </message>
    <message>
        <source>no PostgreSQL driver</source>
        <translation>没有 PostgreSQL 驱动</translation>
    </message>
    <message>
        <source>history server holds other events</source>
        <translation>历史记录服务器保存着其他事件</translation>
    </message>
    <message>
        <source>history file cannot be read</source>
        <translation>无法读取历史记录文件</translation>
    </message>
    <message>
        <source>history server failed</source>
        <translation>历史记录服务器出错</translation>
    </message>
</context>
<context>
    <name>HistoryStore</name>
    <message>
        <source>the folder %1 cannot be made</source>
        <translation>无法创建文件夹 %1</translation>
    </message>
    <message>
        <source>%1 is not a file</source>
        <translation>%1 不是文件</translation>
    </message>
    <message>
        <source>the SQLite driver of Qt SQL is not installed</source>
        <translation>未安装 Qt SQL 的 SQLite 驱动</translation>
    </message>
    <message>
        <source>the history file %1 is damaged</source>
        <translation>历史记录文件 %1 已损坏</translation>
    </message>
    <message>
        <source>write-ahead logging cannot be used in %1</source>
        <translation>%1 无法使用预写日志</translation>
    </message>
    <message>
        <source>the history file %1 was written by a newer version of the program</source>
        <translation>历史记录文件 %1 由更新版本的程序写入</translation>
    </message>
    <message>
        <source>the history file %1 has no layout version</source>
        <translation>历史记录文件 %1 没有格式版本</translation>
    </message>
    <message>
        <source>the history file %1 is damaged and cannot be moved aside</source>
        <translation>历史记录文件 %1 已损坏，且无法移走</translation>
    </message>
    <message>
        <source>the history file %1 is read-only</source>
        <translation>历史记录文件 %1 是只读的</translation>
    </message>
    <message>
        <source>the file %1 of the history is read-only</source>
        <translation>历史记录的文件 %1 是只读的</translation>
    </message>
    <message>
        <source>the disk is full, so the history file %1 cannot be written</source>
        <translation>磁盘已满，无法写入历史记录文件 %1</translation>
    </message>
    <message>
        <source>the program is not allowed to use the history file %1</source>
        <translation>程序无权使用历史记录文件 %1</translation>
    </message>
    <message>
        <source>the history file %1 is in use by another program</source>
        <translation>历史记录文件 %1 正被其他程序使用</translation>
    </message>
    <message>
        <source>the history file %1 cannot be opened</source>
        <translation>无法打开历史记录文件 %1</translation>
    </message>
    <message>
        <source>there is not enough memory for the history</source>
        <translation>内存不足，无法保存历史记录</translation>
    </message>
    <message>
        <source>the disk that holds the history file %1 cannot be read or written</source>
        <translation>无法读写历史记录文件 %1 所在的磁盘</translation>
    </message>
    <message>
        <source>the history file %1 cannot be read or written</source>
        <translation>无法读写历史记录文件 %1</translation>
    </message>
    <message>
        <source>the history file %1 has no chain of events</source>
        <translation>历史记录文件 %1 没有事件链</translation>
    </message>
    <message>
        <source>the history server %1 already holds other events in the places of this history&apos;s (a copy of this history file may be in use at another desk)</source>
        <translation>历史记录服务器 %1 在本历史记录的位置上已保存了其他事件（可能有另一个工位在使用本历史记录文件的副本）</translation>
    </message>
    <message>
        <source>the PostgreSQL driver of Qt SQL is not installed (Debian package libqt6sql6-psql)</source>
        <translation>未安装 Qt SQL 的 PostgreSQL 驱动（Debian 软件包 libqt6sql6-psql）</translation>
    </message>
    <message>
        <source>the history server %1 did not accept the password of %2 (the password comes from the file ~/.pgpass)</source>
        <translation>历史记录服务器 %1 不接受 %2 的密码（密码来自文件 ~/.pgpass）</translation>
    </message>
    <message>
        <source>the history server %1 does not let %2 in</source>
        <translation>历史记录服务器 %1 不允许 %2 登录</translation>
    </message>
    <message>
        <source>the database of the history server %1 does not exist</source>
        <translation>历史记录服务器 %1 的数据库不存在</translation>
    </message>
    <message>
        <source>the history server %1 cannot be reached</source>
        <translation>无法连接历史记录服务器 %1</translation>
    </message>
    <message>
        <source>the history server %1 cannot be used</source>
        <translation>无法使用历史记录服务器 %1</translation>
    </message>
    <message>
        <source>the history server %1 holds a history of a newer version of the program; it is left as it is</source>
        <translation>历史记录服务器 %1 保存的是更新版本程序的历史记录；保持原样不作改动</translation>
    </message>
    <message>
        <source>the history already holds another event with the same identity</source>
        <translation>历史记录中已有另一个标识相同的事件</translation>
    </message>
    <message>
        <source>an event sent to the history cannot be read</source>
        <translation>无法读取发送到历史记录的事件</translation>
    </message>
</context>
<context>
    <name>HistoryStoryModel</name>
    <message>
        <source>When</source>
        <translation>时间</translation>
    </message>
    <message>
        <source>Who</source>
        <translation>操作人</translation>
    </message>
    <message>
        <source>What</source>
        <translation>事件</translation>
    </message>
    <message>
        <source>What changed</source>
        <translation>变化</translation>
    </message>
</context>
<context>
    <name>HistoryTrendChart</name>
    <message>
        <source>Mean ΔE of each day</source>
        <translation>每天的平均 ΔE</translation>
    </message>
    <message>
        <source>Mean ΔE of each week</source>
        <translation>每周的平均 ΔE</translation>
    </message>
    <message>
        <source>ΔE of each row</source>
        <translation>每行的 ΔE</translation>
    </message>
    <message>
        <source>ΔE</source>
        <translation>ΔE</translation>
    </message>
    <message>
        <source>Stored</source>
        <translation>保存时间</translation>
    </message>
    <message>
        <source>PASS</source>
        <translation>合格</translation>
    </message>
    <message>
        <source>mean within the threshold</source>
        <translation>平均值在阈值内</translation>
    </message>
    <message>
        <source>NG</source>
        <translation>不合格</translation>
    </message>
    <message>
        <source>mean over the threshold</source>
        <translation>平均值超过阈值</translation>
    </message>
    <message>
        <source>Near limit</source>
        <translation>接近限值</translation>
    </message>
    <message>
        <source>mean near the limit</source>
        <translation>平均值接近限值</translation>
    </message>
    <message numerus="yes">
        <source>Moving mean of %n rows</source>
        <translation>
            <numerusform>%n 行移动平均</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Moving mean of %n days</source>
        <translation>
            <numerusform>%n 天移动平均</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Moving mean of %n weeks</source>
        <translation>
            <numerusform>%n 周移动平均</numerusform>
        </translation>
    </message>
    <message>
        <source>Threshold</source>
        <translation>阈值</translation>
    </message>
    <message numerus="yes">
        <source>%1: %n rows, mean ΔE %2, highest %3, NG %4, near the limit %5</source>
        <translation>
            <numerusform>%1：%n 行，平均 ΔE %2，最大 %3，不合格 %4，接近限值 %5</numerusform>
        </translation>
    </message>
    <message>
        <source>The trend cannot be read: %1</source>
        <translation>无法读取趋势：%1</translation>
    </message>
    <message>
        <source>No judged rows to show.</source>
        <translation>没有已判定的行可显示。</translation>
    </message>
    <message>
        <source>Ppk %1 (threshold %2)</source>
        <translation>Ppk %1（阈值 %2）</translation>
    </message>
    <message>
        <source>Ppk: none, the rows were not all judged against one known threshold</source>
        <translation>Ppk：无，这些行并非都按同一个已知阈值判定</translation>
    </message>
    <message>
        <source>Ppk: none, the rows have no spread</source>
        <translation>Ppk：无，这些行没有离散</translation>
    </message>
    <message>
        <source>n = %1, NG %2, mean ΔE %3, SD %4, %5</source>
        <translation>n = %1，不合格 %2，平均 ΔE %3，标准差 %4，%5</translation>
    </message>
</context>
<context>
    <name>HistoryWindow</name>
    <message>
        <source>Measurement history</source>
        <translation>测量历史记录</translation>
    </message>
    <message>
        <source>Show the rows</source>
        <translation>显示的行</translation>
    </message>
    <message>
        <source>From</source>
        <translation>从</translation>
    </message>
    <message>
        <source>yyyy-MM-dd HH:mm</source>
        <translation>yyyy-MM-dd HH:mm</translation>
    </message>
    <message>
        <source>Until</source>
        <translation>到</translation>
    </message>
    <message>
        <source>Test name contains</source>
        <translation>测试名称包含</translation>
    </message>
    <message>
        <source>Serial number</source>
        <translation>序列号</translation>
    </message>
    <message>
        <source>Verdict</source>
        <translation>判定</translation>
    </message>
    <message>
        <source>Origin</source>
        <translation>来源</translation>
    </message>
    <message>
        <source>State</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>Show all</source>
        <translation>全部显示</translation>
    </message>
    <message>
        <source>Runs</source>
        <translation>批次</translation>
    </message>
    <message>
        <source>All runs</source>
        <translation>所有批次</translation>
    </message>
    <message>
        <source>Rows</source>
        <translation>行</translation>
    </message>
    <message>
        <source>What happened to the row</source>
        <translation>该行的经历</translation>
    </message>
    <message>
        <source>Trend</source>
        <translation>趋势</translation>
    </message>
    <message>
        <source>Points</source>
        <translation>数据点</translation>
    </message>
    <message>
        <source>Moving mean over</source>
        <translation>移动平均范围</translation>
    </message>
    <message>
        <source>Put into the table</source>
        <translation>放入表格</translation>
    </message>
    <message>
        <source>Test report</source>
        <translation>测试报告</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>导出</translation>
    </message>
    <message>
        <source>Check history</source>
        <translation>检查历史记录</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>刷新</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>The history cannot be read: %1</source>
        <translation>无法读取历史记录：%1</translation>
    </message>
    <message>
        <source>any</source>
        <translation>任意</translation>
    </message>
    <message>
        <source>PASS</source>
        <translation>合格</translation>
    </message>
    <message>
        <source>NG</source>
        <translation>不合格</translation>
    </message>
    <message>
        <source>not judged</source>
        <translation>未判定</translation>
    </message>
    <message>
        <source>automatic</source>
        <translation>自动</translation>
    </message>
    <message>
        <source>each row</source>
        <translation>每行</translation>
    </message>
    <message>
        <source>mean of each day</source>
        <translation>每天的平均值</translation>
    </message>
    <message>
        <source>mean of each week</source>
        <translation>每周的平均值</translation>
    </message>
    <message>
        <source>Spreadsheet (.xlsx, .xls), as the table exports...</source>
        <translation>电子表格（.xlsx、.xls），与表格导出格式相同...</translation>
    </message>
    <message>
        <source>CSV...</source>
        <translation>CSV...</translation>
    </message>
    <message>
        <source>CGATS (standards and samples)...</source>
        <translation>CGATS（标准样和样品）...</translation>
    </message>
    <message>
        <source>Check history: %1</source>
        <translation>检查历史记录：%1</translation>
    </message>
    <message>
        <source>%1 rows</source>
        <translation>%1 行</translation>
    </message>
    <message>
        <source>(the history has changed: Refresh shows it)</source>
        <translation>（历史记录已变化：点击“刷新”显示）</translation>
    </message>
    <message>
        <source>Select the rows to put into the table first.</source>
        <translation>请先选择要放入表格的行。</translation>
    </message>
    <message>
        <source>%1 rows were put into the table. %2 rows are in the table already and were left as they are.</source>
        <translation>已将 %1 行放入表格。另有 %2 行已在表格中，保持不变。</translation>
    </message>
    <message>
        <source>Working out the trend...</source>
        <translation>正在计算趋势...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Checking the history...</source>
        <translation>正在检查历史记录...</translation>
    </message>
    <message>
        <source>Checking every event of the history and every row against its events...</source>
        <translation>正在检查历史记录的每条事件，并按事件核对每一行...</translation>
    </message>
    <message>
        <source>The history is as it was written: %1.</source>
        <translation>历史记录与写入时一致：%1。</translation>
    </message>
    <message>
        <source>The history is not as it was written: %1.</source>
        <translation>历史记录与写入时不一致：%1。</translation>
    </message>
    <message>
        <source>There are no rows to export.</source>
        <translation>没有可导出的行。</translation>
    </message>
    <message>
        <source>Excel 2007 (*.xlsx);;Excel 97-2003 (*.xls)</source>
        <translation>Excel 2007 (*.xlsx);;Excel 97-2003 (*.xls)</translation>
    </message>
    <message>
        <source>CSV (*.csv)</source>
        <translation>CSV (*.csv)</translation>
    </message>
    <message>
        <source>CGATS (*.ti3 *.txt)</source>
        <translation>CGATS (*.ti3 *.txt)</translation>
    </message>
    <message>
        <source>Export %1 rows</source>
        <translation>导出 %1 行</translation>
    </message>
    <message>
        <source>%1 and %2</source>
        <translation>%1 和 %2</translation>
    </message>
    <message>
        <source>Exporting %1 rows...</source>
        <translation>正在导出 %1 行...</translation>
    </message>
    <message>
        <source>%1 rows were exported to %2.</source>
        <translation>已将 %1 行导出到 %2。</translation>
    </message>
    <message>
        <source>The rows could not be exported: %1.</source>
        <translation>无法导出这些行：%1。</translation>
    </message>
    <message>
        <source>%1 exists already. Replace it?</source>
        <translation>%1 已存在。是否替换？</translation>
    </message>
    <message>
        <source> and </source>
        <translation> 和 </translation>
    </message>
    <message>
        <source>Show the history of</source>
        <translation>显示历史记录：</translation>
    </message>
    <message>
        <source>Desk</source>
        <translation>工位</translation>
    </message>
    <message>
        <source>Connecting to the history server %1...</source>
        <translation>正在连接历史记录服务器 %1...</translation>
    </message>
    <message>
        <source>The history server %1 cannot be read, so this computer&apos;s history is shown (%2).</source>
        <translation>无法读取历史记录服务器 %1，因此显示本机的历史记录（%2）。</translation>
    </message>
    <message>
        <source>this computer</source>
        <translation>本机</translation>
    </message>
    <message>
        <source>every desk, on the laboratory&apos;s server</source>
        <translation>所有工位（实验室服务器）</translation>
    </message>
    <message>
        <source>%1 rows are in the table already and were left as they are.</source>
        <translation>%1 行已在表格中，保持不变。</translation>
    </message>
    <message>
        <source>%1 rows were measured at other desks: only this desk&apos;s own rows can be put into its table, since each row is followed in the history of the desk that measured it.</source>
        <translation>%1 行是在其他工位测量的：只能将本工位自己的行放入本工位的表格，因为每一行都由测量它的工位的历史记录跟踪。</translation>
    </message>
    <message>
        <source>%1 rows of this desk are no longer on this computer (they were removed once the server had them) and stay on the server only.</source>
        <translation>本工位的 %1 行已不在本机上（服务器收到后已从本机删除），只保存在服务器上。</translation>
    </message>
    <message>
        <source>%1 rows were put into the table.</source>
        <translation>已将 %1 行放入表格。</translation>
    </message>
</context>
<context>
    <name>HistoryWords</name>
    <message>
        <source>measured</source>
        <translation>测量</translation>
    </message>
    <message>
        <source>measured on the instrument</source>
        <translation>仪器上测量</translation>
    </message>
    <message>
        <source>downloaded</source>
        <translation>下载</translation>
    </message>
    <message>
        <source>imported</source>
        <translation>导入</translation>
    </message>
    <message>
        <source>imported from %1</source>
        <translation>从 %1 导入</translation>
    </message>
    <message>
        <source>in the table</source>
        <translation>在表格中</translation>
    </message>
    <message>
        <source>deleted</source>
        <translation>已删除</translation>
    </message>
    <message>
        <source>cleared</source>
        <translation>已清除</translation>
    </message>
    <message>
        <source>exported</source>
        <translation>已导出</translation>
    </message>
    <message>
        <source>not put back</source>
        <translation>未恢复</translation>
    </message>
    <message>
        <source>closed</source>
        <translation>已关闭</translation>
    </message>
    <message>
        <source>put back after a crash</source>
        <translation>异常退出后已恢复</translation>
    </message>
    <message>
        <source>not put back after a crash</source>
        <translation>异常退出后未恢复</translation>
    </message>
    <message>
        <source>running</source>
        <translation>进行中</translation>
    </message>
    <message>
        <source>added</source>
        <translation>添加</translation>
    </message>
    <message>
        <source>renamed</source>
        <translation>改名</translation>
    </message>
    <message>
        <source>judged again</source>
        <translation>重新判定</translation>
    </message>
    <message>
        <source>put back into the table</source>
        <translation>放回表格</translation>
    </message>
    <message>
        <source>a run cut short</source>
        <translation>中断的批次</translation>
    </message>
    <message>
        <source>%1 to %2</source>
        <translation>%1 到 %2</translation>
    </message>
</context>
<context>
    <name>InformationPageForTesk</name>
    <message>
        <source>Report</source>
        <translation>报告</translation>
    </message>
    <message>
        <source>information</source>
        <translation>信息</translation>
    </message>
    <message>
        <source>Device:</source>
        <translation>设备：</translation>
    </message>
    <message>
        <source>SN:</source>
        <translation>序列号：</translation>
    </message>
    <message>
        <source>Company:</source>
        <translation>公司名称：</translation>
    </message>
    <message>
        <source>Sample Name:</source>
        <translation>样品名称：</translation>
    </message>
    <message>
        <source>△E formula:</source>
        <translation>△E公式：</translation>
    </message>
    <message>
        <source>△E Thresholds:</source>
        <translation>△E阈值：</translation>
    </message>
    <message>
        <source>Test Time:</source>
        <translation>测试时间：</translation>
    </message>
    <message>
        <source>Tester:</source>
        <translation>测试人：</translation>
    </message>
    <message>
        <source>Auditor:</source>
        <translation>审核人：</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>English</source>
        <translation>English</translation>
    </message>
    <message>
        <source>中文</source>
        <translation>中文</translation>
    </message>
    <message>
        <source>Warn</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>The instrument is plugged in, but this user may not open it. The udev rule &quot;%1&quot; gives the user at this computer access. Run this command, then plug the instrument in again:

%2</source>
        <translation>仪器已插入，但当前用户无权打开它。udev 规则“%1”为使用这台计算机的用户提供访问权限。请运行以下命令，然后重新插入仪器：

%2</translation>
    </message>
    <message>
        <source>History location...</source>
        <translation>历史记录位置...</translation>
    </message>
    <message>
        <source>Where the measurement history lives: this computer, or also the laboratory&apos;s server</source>
        <translation>测量历史记录的保存位置：本机，或同时保存到实验室的服务器</translation>
    </message>
</context>
<context>
    <name>ReportPageForTesk</name>
    <message>
        <source>Report</source>
        <translation>报告</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>信息</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>打印</translation>
    </message>
    <message>
        <source>Device: </source>
        <translation>Device: </translation>
    </message>
    <message>
        <source>SN:</source>
        <translation>SN:</translation>
    </message>
    <message>
        <source>Company:</source>
        <translation>Company:</translation>
    </message>
    <message>
        <source>Sample Name:</source>
        <translation>Sample Name:</translation>
    </message>
    <message>
        <source>△E formula:</source>
        <translation>△E formula:</translation>
    </message>
    <message>
        <source>△E Thresholds:</source>
        <translation>△E Thresholds:</translation>
    </message>
    <message>
        <source>Test Time:</source>
        <translation>Test Time:</translation>
    </message>
    <message>
        <source>Test Data</source>
        <translation>Test Data</translation>
    </message>
    <message>
        <source>L*</source>
        <translation>L*</translation>
    </message>
    <message>
        <source>a*</source>
        <translation>a*</translation>
    </message>
    <message>
        <source>b*</source>
        <translation>b*</translation>
    </message>
    <message>
        <source>C*</source>
        <translation>C*</translation>
    </message>
    <message>
        <source>h</source>
        <translation>h</translation>
    </message>
    <message>
        <source>Standard</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>Sample</source>
        <translation>Sample</translation>
    </message>
    <message>
        <source>△</source>
        <translation>△</translation>
    </message>
    <message>
        <source>△E</source>
        <translation>△E</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Result</translation>
    </message>
    <message>
        <source> Tester:</source>
        <translation> Tester:</translation>
    </message>
    <message>
        <source> Auditor:</source>
        <translation> Auditor:</translation>
    </message>
    <message>
        <source>Test Report1</source>
        <translation>测试报告</translation>
    </message>
    <message>
        <source>Test Report</source>
        <translation>Test Report</translation>
    </message>
    <message>
        <source>测试设备: </source>
        <translation>测试设备: </translation>
    </message>
    <message>
        <source>SN号:</source>
        <translation>SN号:</translation>
    </message>
    <message>
        <source>公司名称:</source>
        <translation>公司名称:</translation>
    </message>
    <message>
        <source>样品名称:</source>
        <translation>样品名称:</translation>
    </message>
    <message>
        <source>△E公式:</source>
        <translation>△E公式:</translation>
    </message>
    <message>
        <source>△E阀值:</source>
        <translation>△E阀值:</translation>
    </message>
    <message>
        <source>测试时间:</source>
        <translation>测试时间:</translation>
    </message>
    <message>
        <source>测试数据(Test Data)</source>
        <translation>测试数据(Test Data)</translation>
    </message>
    <message>
        <source>标准色</source>
        <translation>标准色</translation>
    </message>
    <message>
        <source>样品色</source>
        <translation>样品色</translation>
    </message>
    <message>
        <source>结果</source>
        <translation>结果</translation>
    </message>
    <message>
        <source>测试人(Tester):</source>
        <translation>测试人(Tester):</translation>
    </message>
    <message>
        <source>审核人(Auditor):</source>
        <translation>审核人(Auditor):</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>The report could not be printed.</source>
        <translation>报告未能打印。</translation>
    </message>
</context>
<context>
    <name>setEParameterPageForTesk</name>
    <message>
        <source>△E parameter Setting</source>
        <translation>△E参数设置</translation>
    </message>
    <message>
        <source>△E formula:</source>
        <translation>△E公式：</translation>
    </message>
    <message>
        <source>△E*ab</source>
        <translation>△E*ab</translation>
    </message>
    <message>
        <source>△E*uv</source>
        <translation>△E*uv</translation>
    </message>
    <message>
        <source>△E*94</source>
        <translation>△E*94</translation>
    </message>
    <message>
        <source>△E*cmc(2:1)</source>
        <translation>△E*cmc(2:1)</translation>
    </message>
    <message>
        <source>△E*cmc(1:1)</source>
        <translation>△E*cmc(1:1)</translation>
    </message>
    <message>
        <source>△E*00</source>
        <translation>△E*00</translation>
    </message>
    <message>
        <source>△E Thresholds:</source>
        <translation>△E阈值：</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Please connect the device first!</source>
        <translation>请先连接设备！</translation>
    </message>
    <message>
        <source>Failed to write △E parameter information!</source>
        <translation>写入△E参数信息失败！</translation>
    </message>
</context>
</TS>
