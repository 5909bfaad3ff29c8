<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>BatchCharts</name>
    <message>
        <source>a*b* plot</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ΔL* chart</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ΔE run chart</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No tolerance contour: the ΔE formula or threshold of the current row is unknown</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Δa*   (−a* green ← → +a* red)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Δb*   (−b* blue ← → +b* yellow)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Row</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ΔL*   (− darker, + lighter)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ΔE</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PASS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>NG</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Near limit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tolerance contour %1 = %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tolerance contour</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ΔL* alone at the threshold</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Threshold %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Near limit: above %1 % of the threshold</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>BatchReport</name>
    <message>
        <source>Selected rows: %1 of %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All rows: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>above %1 % of the threshold</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Device:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SN:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ΔE formula:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ΔE threshold:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>First time:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Last time:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Company:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tester:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Auditor:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rows:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Near-limit band:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Printed:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rows judged:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PASS:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>NG:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pass rate:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Near limit:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Largest ΔE:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not judged:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Test Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>DateTime</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Result</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Note</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PASS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>near limit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>NG</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not judged</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Batch Report</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Statistics</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mean</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SD</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Min</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Max</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>BatchWindow</name>
    <message>
        <source>Batch</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a*b* plot</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ΔL* chart</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ΔE run chart</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Statistics</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rows judged:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PASS:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>NG:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pass rate:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Near limit:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Largest ΔE:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not judged:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Near-limit band</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Warn at</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> %</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>of the threshold</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save picture...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy picture</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save data...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Print</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mean</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SD</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Min</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Max</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Row %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Selected rows: %1 of %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All rows: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PNG picture (*.png)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SVG picture (*.svg)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save picture</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The picture could not be saved.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CSV file (*.csv)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save data</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The data could not be saved.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The batch report could not be printed.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Colorimeter</name>
    <message>
        <source>△E*ab</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>△E*uv</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>△E*94</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>△E*cmc(2:1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>△E*cmc(1:1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>△E*00</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>△</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>△E</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>DemoPanel</name>
    <message>
        <source>Virtual instrument</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Press instrument button</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unplug</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Plug</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Instrument plugged in</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Instrument unplugged</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FirstPageForTesk</name>
    <message>
        <source>More black</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slight black</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Normal</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slight white</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>More white</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>More green</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slight green</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slight red</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>More red</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>More Blue</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slight blue</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slight yellow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>More yellow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Form</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Device information</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SN:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Production Date:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Calibration Date:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Device Name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Firmware Version:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Color difference measurement</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scan Standard</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scan Sample</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>△E parameter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>△E formula:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>△E Thresholds:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set parameter </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Read parameter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Data transmission</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Read mycolor</source>
        <translation>Read my colors</translation>
    </message>
    <message>
        <source>Write mycolor</source>
        <translation>Write my colors</translation>
    </message>
    <message>
        <source>Read color difference record</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Write stdcolor</source>
        <translation>Write standard colors</translation>
    </message>
    <message>
        <source>Count</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>NG </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PASS </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Total</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Clear</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export Excel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Import data</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Colour Instruments Co., Ltd.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>www.example.com</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error：</source>
        <translation>Error:</translation>
    </message>
    <message>
        <source>Can&apos;t open file！</source>
        <translation>Can&apos;t open file!</translation>
    </message>
    <message>
        <source>Failed to read excel file！</source>
        <translation>Failed to read the Excel file!</translation>
    </message>
    <message>
        <source>UnKnow</source>
        <translation>Unknown</translation>
    </message>
    <message>
        <source>Warn</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The instrument is not configured production information!</source>
        <translation>The instrument&apos;s production information is not configured!</translation>
    </message>
    <message>
        <source>Error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to read device information!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to read calibration date!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to read software version number!</source>
        <translation>Failed to read the firmware version!</translation>
    </message>
    <message>
        <source>Please connect the device first!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to read △E parameter information!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Standard</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sample</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>NG</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Report</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PASS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>NO</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Test Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>DateTime</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pass or not</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>-----</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>openThreadSlot</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>closeThreadSlot</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to read measurement data!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>No data for Storing to Excel!</source>
        <translation>No data to store in Excel!</translation>
    </message>
    <message>
        <source>Storing data to Excel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 already exists.
Do you want to replace it?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can&apos;t overwrite this file, maybe the file is in use!</source>
        <translation>Can&apos;t overwrite this file; it may be in use!</translation>
    </message>
    <message>
        <source>Failed to store data, can&apos;t open file!</source>
        <translation>Failed to store the data: can&apos;t open the file!</translation>
    </message>
    <message>
        <source>Data import willempty the list, to save data first?</source>
        <translation>Importing data will empty the list. Save the data first?</translation>
    </message>
    <message>
        <source>Select one Excel files to open</source>
        <translation>Select one Excel file to open</translation>
    </message>
    <message>
        <source>△E parameters unknown</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Can&apos;t open file!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to read my color number!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Storing data,please wait...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to read my color data!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Information</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Read my color data successfully!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to export data to excel file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The written contents do not match and cannot be written!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Write my color information, data error, unable to write!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to write my color information!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error in Excel file with not enough rows of my color!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to write my color data!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Write my color data successfully!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Color difference history data error, unable to export!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to read the number of color difference records!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reading color difference recording lab data failed!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to read color difference record name data!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File error, unable to write!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error in Excel file with not enough rows of standard color cards!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to write the total number of standard color cards!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to write standard color card information!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to write standard color card data!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to write!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to write empty packet!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Write to standard color card library successfully!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to read excel file!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The records were not judged because the △E parameters are unknown.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The standard color card name &quot;%1&quot; is longer than 16 bytes, unable to write!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The value %1 in row %2 is outside -327.68 to 327.67, unable to write!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Batch</source>
        <translation></translation>
    </message>
    <message>
        <source>History</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HistoryCheck</name>
    <message>
        <source>intact, %1 events</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>broken at event %1: it was changed after it was written</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>broken at event %1: it has been removed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>broken after event %1: the newest events have been removed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>broken at event %1: it is not the event this program wrote there</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the stored row %1 is not what its events say</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a row its events describe has been removed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the stored row %1 has no event that adds it</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the history cannot be read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the check was cancelled</source>
        <translation></translation>
    </message>
    <message>
        <source>intact, %1 events in %2 chains</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HistoryController</name>
    <message>
        <source>Warn</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The history file was damaged. It has been moved aside to %1 and a new history has been started.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Colorimeter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The last session ended with %1 measurements in the table that were neither exported nor cleared. Put them back into the table?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The measurement history is off: %1. Measuring goes on as before, but the rows are kept in the table only.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close anyway</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The table holds %1 measurements that were never exported. Export them before closing?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(%1)</source>
        <comment>the database&apos;s own words for a failure</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the history file %1 is damaged; it will be moved aside and a new history started when the program starts next</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>History</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The measurement history is off.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The measurement history is off: %1.</source>
        <translation></translation>
    </message>
    <message>
        <source>The rows cannot be sent to the history server: %1. They stay on this computer.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The history server cannot be used: %1. Measuring goes on: the rows are kept on this computer and sent when the server can be used again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No rows can be removed from this computer yet: the history server %1 has not confirmed any row that is in no table.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The history server %1 has confirmed %2 rows that are in no table. Remove them from this computer? They stay on the server.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 rows were removed from this computer; the history server keeps them.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The history cannot be read: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HistoryExport</name>
    <message>
        <source>the history cannot be read (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 cannot be written (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>an .xls sheet holds %1 rows at most, and %2 were chosen: export them as .xlsx</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the export was cancelled</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HistoryLocationDialog</name>
    <message>
        <source>Where the history lives</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>On this computer only</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Also on the laboratory&apos;s PostgreSQL server</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Server</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Host:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>localhost</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Port:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>default (5432)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Database:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>User:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Service:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The password is never kept by this program: it comes from the file ~/.pgpass or from the service file (pg_service.conf). Rows are always stored on this computer first and sent to the server from there.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove the rows the server has from this computer...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This desk</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Identity:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HistoryOutbox</name>
    <message>
        <source>the history file %1 cannot be read (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the history file %1 cannot be opened</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the history file %1 has another layout</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HistoryRowsModel</name>
    <message>
        <source>Stored</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Origin</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>State</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Run</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Desk</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HistoryRunsModel</name>
    <message>
        <source>Started</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ended</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>How it ended</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rows</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PASS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>NG</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exported to</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HistorySenderStatus</name>
    <message numerus="yes">
        <source>%n rows waiting</source>
        <translation>
            <numerusform>%n row waiting</numerusform>
            <numerusform>%n rows waiting</numerusform>
        </translation>
    </message>
    <message>
        <source>sending to the history server, %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>history server unreachable</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>history server refused the login</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>history server has no such database</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>history server of a newer version</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no PostgreSQL driver</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>history server holds other events</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>history file cannot be read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>history server failed</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HistoryStore</name>
    <message>
        <source>the folder %1 cannot be made</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is not a file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the SQLite driver of Qt SQL is not installed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the history file %1 is damaged</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>write-ahead logging cannot be used in %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the history file %1 was written by a newer version of the program</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the history file %1 has no layout version</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the history file %1 is damaged and cannot be moved aside</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the history file %1 is read-only</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the file %1 of the history is read-only</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the disk is full, so the history file %1 cannot be written</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the program is not allowed to use the history file %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the history file %1 is in use by another program</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the history file %1 cannot be opened</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>there is not enough memory for the history</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the disk that holds the history file %1 cannot be read or written</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the history file %1 cannot be read or written</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the history file %1 has no chain of events</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the history server %1 already holds other events in the places of this history&apos;s (a copy of this history file may be in use at another desk)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the PostgreSQL driver of Qt SQL is not installed (Debian package libqt6sql6-psql)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the history server %1 did not accept the password of %2 (the password comes from the file ~/.pgpass)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the history server %1 does not let %2 in</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the database of the history server %1 does not exist</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the history server %1 cannot be reached</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the history server %1 cannot be used</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the history server %1 holds a history of a newer version of the program; it is left as it is</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the history already holds another event with the same identity</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>an event sent to the history cannot be read</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HistoryStoryModel</name>
    <message>
        <source>When</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Who</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>What</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>What changed</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HistoryTrendChart</name>
    <message>
        <source>Mean ΔE of each day</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mean ΔE of each week</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ΔE of each row</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ΔE</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stored</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PASS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>mean within the threshold</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>NG</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>mean over the threshold</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Near limit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>mean near the limit</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>Moving mean of %n rows</source>
        <translation>
            <numerusform>Moving mean of %n row</numerusform>
            <numerusform>Moving mean of %n rows</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Moving mean of %n days</source>
        <translation>
            <numerusform>Moving mean of %n day</numerusform>
            <numerusform>Moving mean of %n days</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Moving mean of %n weeks</source>
        <translation>
            <numerusform>Moving mean of %n week</numerusform>
            <numerusform>Moving mean of %n weeks</numerusform>
        </translation>
    </message>
    <message>
        <source>Threshold</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%1: %n rows, mean ΔE %2, highest %3, NG %4, near the limit %5</source>
        <translation>
            <numerusform>%1: %n row, mean ΔE %2, highest %3, NG %4, near the limit %5</numerusform>
            <numerusform>%1: %n rows, mean ΔE %2, highest %3, NG %4, near the limit %5</numerusform>
        </translation>
    </message>
    <message>
        <source>The trend cannot be read: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No judged rows to show.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ppk %1 (threshold %2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ppk: none, the rows were not all judged against one known threshold</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ppk: none, the rows have no spread</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>n = %1, NG %2, mean ΔE %3, SD %4, %5</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HistoryWindow</name>
    <message>
        <source>Measurement history</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show the rows</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>From</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>yyyy-MM-dd HH:mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Until</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Test name contains</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Serial number</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Verdict</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Origin</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>State</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show all</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Runs</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All runs</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rows</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>What happened to the row</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Trend</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Points</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Moving mean over</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Put into the table</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Test report</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check history</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The history cannot be read: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>any</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PASS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>NG</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not judged</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>automatic</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>each row</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>mean of each day</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>mean of each week</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Spreadsheet (.xlsx, .xls), as the table exports...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CSV...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CGATS (standards and samples)...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check history: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 rows</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(the history has changed: Refresh shows it)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select the rows to put into the table first.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 rows were put into the table. %2 rows are in the table already and were left as they are.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Working out the trend...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Checking the history...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Checking every event of the history and every row against its events...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The history is as it was written: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The history is not as it was written: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There are no rows to export.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Excel 2007 (*.xlsx);;Excel 97-2003 (*.xls)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CSV (*.csv)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CGATS (*.ti3 *.txt)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export %1 rows</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 and %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Exporting %1 rows...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 rows were exported to %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The rows could not be exported: %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 exists already. Replace it?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> and </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show the history of</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Desk</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connecting to the history server %1...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The history server %1 cannot be read, so this computer&apos;s history is shown (%2).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>this computer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>every desk, on the laboratory&apos;s server</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 rows are in the table already and were left as they are.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 rows were measured at other desks: only this desk&apos;s own rows can be put into its table, since each row is followed in the history of the desk that measured it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 rows of this desk are no longer on this computer (they were removed once the server had them) and stay on the server only.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 rows were put into the table.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HistoryWords</name>
    <message>
        <source>measured</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>measured on the instrument</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>downloaded</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>imported</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>imported from %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>in the table</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>deleted</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cleared</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>exported</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not put back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>closed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>put back after a crash</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not put back after a crash</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>running</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>added</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>renamed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>judged again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>put back into the table</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a run cut short</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 to %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>InformationPageForTesk</name>
    <message>
        <source>Report</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>information</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Device:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SN:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Company:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sample Name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>△E formula:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>△E Thresholds:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Test Time:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tester:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Auditor:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ok</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>English</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>中文</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Warn</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The instrument is plugged in, but this user may not open it. The udev rule &quot;%1&quot; gives the user at this computer access. Run this command, then plug the instrument in again:

%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>History location...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Where the measurement history lives: this computer, or also the laboratory&apos;s server</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ReportPageForTesk</name>
    <message>
        <source>Report</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Information</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Print</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Device: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SN:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Company:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sample Name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>△E formula:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>△E Thresholds:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Test Time:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Test Data</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>L*</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a*</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>b*</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>C*</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>h</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Standard</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sample</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>△</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>△E</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Result</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Tester:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Auditor:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Test Report1</source>
        <translation>测试报告</translation>
    </message>
    <message>
        <source>Test Report</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>测试设备: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SN号:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>公司名称:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>样品名称:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>△E公式:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>△E阀值:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>测试时间:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>测试数据(Test Data)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>标准色</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>样品色</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>结果</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>测试人(Tester):</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>审核人(Auditor):</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The report could not be printed.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>setEParameterPageForTesk</name>
    <message>
        <source>△E parameter Setting</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>△E formula:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>△E*ab</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>△E*uv</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>△E*94</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>△E*cmc(2:1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>△E*cmc(1:1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>△E*00</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>△E Thresholds:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ok</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please connect the device first!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to write △E parameter information!</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
