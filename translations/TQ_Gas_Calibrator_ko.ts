<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ko_KR">
<context>
    <name>CalibrateScaler</name>
    <message>
        <source>Mannual Span Values</source>
        <translation>수동 스팬 값</translation>
    </message>
    <message>
        <source>please enter the calibration parameters you know.
if you have no information, please close this window.</source>
        <translation>알고 있는 교정 값을 입력하십시오.
모르면 이 창을 닫으십시오.</translation>
    </message>
    <message>
        <source>zero</source>
        <translation>제로</translation>
    </message>
    <message>
        <source>uV</source>
        <translation>uV</translation>
    </message>
    <message>
        <source>span</source>
        <translation>스팬</translation>
    </message>
    <message>
        <source>Calibration gas ppm</source>
        <translation>교정 가스 ppm</translation>
    </message>
    <message>
        <source>the calibration gas ppm must be more than 0.</source>
        <translation>교정 가스 ppm은 0보다 커야 합니다.</translation>
    </message>
    <message>
        <source>span and zero must differ.</source>
        <translation>스팬과 제로는 서로 달라야 합니다.</translation>
    </message>
</context>
<context>
    <name>CalibrationRecord</name>
    <message>
        <source>The calibration record cannot be written: %1. The tool carries on without it.</source>
        <translation>교정 기록을 저장할 수 없습니다: %1. 기록 없이 계속 작업합니다.</translation>
    </message>
    <message>
        <source>the folder cannot be created</source>
        <translation>폴더를 만들 수 없습니다</translation>
    </message>
    <message>
        <source>Qt&apos;s SQLite driver is missing</source>
        <translation>Qt의 SQLite 드라이버가 없습니다</translation>
    </message>
    <message>
        <source>the file cannot be opened</source>
        <translation>파일을 열 수 없습니다</translation>
    </message>
    <message>
        <source>the file is not a calibration record</source>
        <translation>교정 기록 파일이 아닙니다</translation>
    </message>
    <message>
        <source>the file was written by a newer version of the tool</source>
        <translation>더 새로운 버전의 프로그램이 만든 파일입니다</translation>
    </message>
    <message>
        <source>the file cannot be written</source>
        <translation>파일에 쓸 수 없습니다</translation>
    </message>
    <message>
        <source>an event cannot be added</source>
        <translation>기록을 추가할 수 없습니다</translation>
    </message>
</context>
<context>
    <name>Calibrator</name>
    <message>
        <source>warning! the device kept %1, not %2.</source>
        <translation>경고! 장치가 %2 대신 %1 값을 유지했습니다.</translation>
    </message>
    <message>
        <source>success! apply calibration settings.</source>
        <translation>성공! 교정 설정을 적용했습니다.</translation>
    </message>
    <message>
        <source>error! apply calibration settings.</source>
        <translation>오류! 교정 설정을 적용하지 못했습니다.</translation>
    </message>
    <message>
        <source>error! apply calibration settings...</source>
        <translation>오류! 교정 설정을 적용하지 못했습니다...</translation>
    </message>
    <message>
        <source>the device sends no values.</source>
        <translation>장치가 측정값을 보내지 않습니다.</translation>
    </message>
    <message>
        <source>error! refresh calibration settings...</source>
        <translation>오류! 교정 설정을 새로 읽지 못했습니다...</translation>
    </message>
    <message>
        <source>error! apply the device&apos;s temperature mode to the celsius mode...</source>
        <translation>오류! 온도 단위를 바꾸지 못했습니다. 장치는 섭씨 그대로입니다...</translation>
    </message>
    <message>
        <source>error! apply the device&apos;s temperature mode to the fahrenheit mode...</source>
        <translation>오류! 온도 단위를 바꾸지 못했습니다. 장치는 화씨 그대로입니다...</translation>
    </message>
    <message>
        <source>error! the device did not answer %1.</source>
        <translation>오류! 장치가 %1 명령에 응답하지 않았습니다.</translation>
    </message>
    <message>
        <source>get the device&apos;s information...</source>
        <translation>장치 정보를 읽는 중...</translation>
    </message>
    <message>
        <source>success! refresh calibration settings.</source>
        <translation>성공! 교정 설정을 새로 읽었습니다.</translation>
    </message>
    <message>
        <source>error! refresh calibration settings.</source>
        <translation>오류! 교정 설정을 새로 읽지 못했습니다.</translation>
    </message>
    <message>
        <source>change the device&apos;s temperature mode to the celsius mode...</source>
        <translation>장치의 온도 단위를 섭씨로 바꾸는 중...</translation>
    </message>
    <message>
        <source>change the device&apos;s temperature mode to the fahrenheit mode...</source>
        <translation>장치의 온도 단위를 화씨로 바꾸는 중...</translation>
    </message>
    <message>
        <source>error! apply the device&apos;s temperature mode to the celsius mode.</source>
        <translation>오류! 장치의 온도 단위를 섭씨로 두었습니다.</translation>
    </message>
    <message>
        <source>error! apply the device&apos;s temperature mode to the fahrenheit mode.</source>
        <translation>오류! 장치의 온도 단위를 화씨로 두었습니다.</translation>
    </message>
    <message>
        <source>success! apply the device&apos;s temperature mode to the celsius mode.</source>
        <translation>성공! 장치의 온도 단위를 섭씨로 바꿨습니다.</translation>
    </message>
    <message>
        <source>success! apply the device&apos;s temperature mode to the fahrenheit mode.</source>
        <translation>성공! 장치의 온도 단위를 화씨로 바꿨습니다.</translation>
    </message>
    <message>
        <source>warning! the device&apos;s %1 is %2, which this panel cannot show.</source>
        <translation>경고! 장치의 %1 값 %2 은(는) 이 화면에 표시할 수 없는 값입니다.</translation>
    </message>
    <message>
        <source>Last Calibration Time</source>
        <translation>마지막 교정 시각</translation>
    </message>
    <message>
        <source>Do you want to change the update time?</source>
        <translation>교정 시각을 지금으로 바꾸시겠습니까?</translation>
    </message>
    <message>
        <source>error!</source>
        <translation>오류!</translation>
    </message>
    <message>
        <source>Calibrate…</source>
        <translation>교정…</translation>
    </message>
</context>
<context>
    <name>ChartView</name>
    <message>
        <source>N/A</source>
        <translation>값 없음</translation>
    </message>
    <message>
        <source>Save picture…</source>
        <translation>그림 저장…</translation>
    </message>
    <message>
        <source>Save picture</source>
        <translation>그림 저장</translation>
    </message>
    <message>
        <source>PNG images (*.png)</source>
        <translation>PNG 그림 (*.png)</translation>
    </message>
    <message>
        <source>The picture could not be saved to %1.</source>
        <translation>그림을 %1에 저장할 수 없습니다.</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>복사</translation>
    </message>
</context>
<context>
    <name>LogWindow</name>
    <message>
        <source>TQ Calibrator Log Window</source>
        <translation>TQ 교정기 로그 창</translation>
    </message>
    <message>
        <source>Log</source>
        <translation>로그</translation>
    </message>
    <message>
        <source>passwod</source>
        <translation>비밀번호</translation>
    </message>
    <message>
        <source>show</source>
        <translation>보기</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>another program may have the port open (close it), or you may not be allowed to open it (install the udev rule)</source>
        <translation>다른 프로그램이 포트를 열고 있거나(그 프로그램을 닫으십시오) 포트를 열 권한이 없습니다(udev 규칙을 설치하십시오)</translation>
    </message>
    <message>
        <source>MainWindow</source>
        <translation>메인 창</translation>
    </message>
    <message>
        <source>File</source>
        <translation>파일</translation>
    </message>
    <message>
        <source>Rate</source>
        <translation>주기</translation>
    </message>
    <message>
        <source>TQ Device</source>
        <translation>TQ 장치</translation>
    </message>
    <message>
        <source>Log Window</source>
        <translation>로그 창</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>종료(&amp;X)</translation>
    </message>
    <message>
        <source>500ms</source>
        <translation>500ms</translation>
    </message>
    <message>
        <source>1s</source>
        <translation>1초</translation>
    </message>
    <message>
        <source>2s</source>
        <translation>2초</translation>
    </message>
    <message>
        <source>10s</source>
        <translation>10초</translation>
    </message>
    <message>
        <source>Close TQ Device</source>
        <translation>TQ 장치 닫기</translation>
    </message>
    <message>
        <source>Lumaweave TQ Gas Calibrator</source>
        <translation>Lumaweave TQ 가스 교정기</translation>
    </message>
    <message>
        <source>Timer Stop.</source>
        <translation>타이머 정지.</translation>
    </message>
    <message>
        <source>the TQ Series Devices were found.</source>
        <translation>TQ 시리즈 장치를 찾았습니다.</translation>
    </message>
    <message>
        <source>Open device Error!</source>
        <translation>장치 열기 오류!</translation>
    </message>
    <message>
        <source>Can&apos;t opened the serial port:[</source>
        <translation>시리얼 포트를 열 수 없습니다:[</translation>
    </message>
    <message>
        <source>],serial no:[</source>
        <translation>],시리얼 번호:[</translation>
    </message>
    <message>
        <source>error! This device is not supported...</source>
        <translation>오류! 지원하지 않는 장치입니다...</translation>
    </message>
    <message>
        <source>error! This device is not supported.</source>
        <translation>오류! 지원하지 않는 장치입니다.</translation>
    </message>
    <message>
        <source>Calibration records…</source>
        <translation>교정 기록…</translation>
    </message>
    <message>
        <source>Record</source>
        <translation>기록</translation>
    </message>
    <message>
        <source>Record the live values to a CSV file</source>
        <translation>실시간 값을 CSV 파일로 기록</translation>
    </message>
    <message numerus="yes">
        <source>Recorded %n samples to %1</source>
        <translation>
            <numerusform>샘플 %n개를 %1에 기록했습니다</numerusform>
        </translation>
    </message>
    <message>
        <source>Recording ended: %1</source>
        <translation>기록 종료: %1</translation>
    </message>
    <message>
        <source>Record live values</source>
        <translation>실시간 값 기록</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV 파일 (*.csv)</translation>
    </message>
    <message>
        <source>Recording not started: %1</source>
        <translation>기록을 시작하지 못했습니다: %1</translation>
    </message>
    <message>
        <source>error! the device did not answer %1.</source>
        <translation>오류! 장치가 %1 명령에 응답하지 않았습니다.</translation>
    </message>
</context>
<context>
    <name>PTermView</name>
    <message>
        <source>Font color</source>
        <translation>글자 색</translation>
    </message>
    <message>
        <source>Background color</source>
        <translation>배경 색</translation>
    </message>
</context>
<context>
    <name>PasswordDlg</name>
    <message>
        <source>TQ Calibrator Passwod</source>
        <translation>TQ 교정기 비밀번호</translation>
    </message>
    <message>
        <source>Enter password</source>
        <translation>비밀번호 입력</translation>
    </message>
    <message>
        <source>password</source>
        <translation>비밀번호</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>확인</translation>
    </message>
    <message>
        <source>CANCEL</source>
        <translation>취소</translation>
    </message>
</context>
<context>
    <name>PmCalibrator</name>
    <message>
        <source>error! apply calibration settings...</source>
        <translation>오류! 교정 설정을 적용하지 못했습니다...</translation>
    </message>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>모델</translation>
    </message>
    <message>
        <source>Serial number</source>
        <translation>일련번호</translation>
    </message>
    <message>
        <source>Sensor output mode</source>
        <translation>센서 출력 모드</translation>
    </message>
    <message>
        <source>Mass</source>
        <translation>질량</translation>
    </message>
    <message>
        <source>Number</source>
        <translation>개수</translation>
    </message>
    <message>
        <source>Last calibration date time</source>
        <translation>마지막 교정 일시</translation>
    </message>
    <message>
        <source>&gt;</source>
        <translation>&gt;</translation>
    </message>
    <message>
        <source>Used hours</source>
        <translation>사용 시간</translation>
    </message>
    <message>
        <source> hours</source>
        <translation> 시간</translation>
    </message>
    <message>
        <source>Factory reset</source>
        <translation>공장 초기화</translation>
    </message>
    <message>
        <source>RESET</source>
        <translation>초기화</translation>
    </message>
    <message>
        <source>TX/RX</source>
        <translation>TX/RX</translation>
    </message>
    <message>
        <source>REFRESH</source>
        <translation>새로 읽기</translation>
    </message>
    <message>
        <source>MODBUS BaudRate</source>
        <translation>MODBUS 전송 속도</translation>
    </message>
    <message>
        <source>MODBUS Timeout</source>
        <translation>MODBUS 시간 초과</translation>
    </message>
    <message>
        <source>MODBUS ByteSwap</source>
        <translation>MODBUS 바이트 순서</translation>
    </message>
    <message>
        <source>ByteSwap</source>
        <translation>바이트 교환</translation>
    </message>
    <message>
        <source>MODBUS Slave ID</source>
        <translation>MODBUS 슬레이브 ID</translation>
    </message>
    <message>
        <source>pm2.5 , pm10.0</source>
        <translation>pm2.5 , pm10.0</translation>
    </message>
    <message>
        <source>pm1.0 , pm4.0</source>
        <translation>pm1.0 , pm4.0</translation>
    </message>
    <message>
        <source>pm0.5 , particle size</source>
        <translation>pm0.5 , 입자 크기</translation>
    </message>
    <message>
        <source>Channel 1</source>
        <translation>채널 1</translation>
    </message>
    <message>
        <source>Full Range Offset</source>
        <translation>전체 범위 오프셋</translation>
    </message>
    <message>
        <source>Channel 2</source>
        <translation>채널 2</translation>
    </message>
    <message>
        <source>the Factory Reset is completed.</source>
        <translation>공장 초기화를 마쳤습니다.</translation>
    </message>
    <message>
        <source>the Factory Reset is failed!</source>
        <translation>공장 초기화에 실패했습니다!</translation>
    </message>
    <message>
        <source>error! apply calibration settings...]</source>
        <translation>오류! 교정 설정을 적용하지 못했습니다...]</translation>
    </message>
    <message>
        <source>1 Second</source>
        <translation>1초</translation>
    </message>
    <message>
        <source>150 mSec</source>
        <translation>150밀리초</translation>
    </message>
    <message>
        <source>300 mSec</source>
        <translation>300밀리초</translation>
    </message>
    <message>
        <source>600 mSec</source>
        <translation>600밀리초</translation>
    </message>
    <message>
        <source>2 Second</source>
        <translation>2초</translation>
    </message>
    <message>
        <source>change the sensor output mode to &apos;</source>
        <translation>센서 출력 모드를 바꾸는 중: &apos;</translation>
    </message>
    <message>
        <source>error! change the sensor output mode...</source>
        <translation>오류! 센서 출력 모드를 바꾸지 못했습니다...</translation>
    </message>
    <message>
        <source>Factory Reset</source>
        <translation>공장 초기화</translation>
    </message>
    <message>
        <source>Your work will be erased. Would you like to continue?</source>
        <translation>작업한 설정이 지워집니다. 계속하시겠습니까?</translation>
    </message>
</context>
<context>
    <name>Tq20Calibrator</name>
    <message>
        <source>error! apply calibration settings...</source>
        <translation>오류! 교정 설정을 적용하지 못했습니다...</translation>
    </message>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>모델</translation>
    </message>
    <message>
        <source>Serial number</source>
        <translation>일련번호</translation>
    </message>
    <message>
        <source>Build date time</source>
        <translation>빌드 일시</translation>
    </message>
    <message>
        <source>Sensor mode</source>
        <translation>센서 모드</translation>
    </message>
    <message>
        <source>TVOC,Humi</source>
        <translation>TVOC,습도</translation>
    </message>
    <message>
        <source>TVOC,CO2</source>
        <translation>TVOC,CO2</translation>
    </message>
    <message>
        <source>Last calibration date time</source>
        <translation>마지막 교정 일시</translation>
    </message>
    <message>
        <source>&gt;</source>
        <translation>&gt;</translation>
    </message>
    <message>
        <source>Used hours</source>
        <translation>사용 시간</translation>
    </message>
    <message>
        <source> hours</source>
        <translation> 시간</translation>
    </message>
    <message>
        <source>VOC Calibration (In clean air)</source>
        <translation>휘발성 유기화합물 교정 (깨끗한 공기에서)</translation>
    </message>
    <message>
        <source>Calibration</source>
        <translation>교정</translation>
    </message>
    <message>
        <source>TX/RX</source>
        <translation>TX/RX</translation>
    </message>
    <message>
        <source>REFRESH</source>
        <translation>새로 읽기</translation>
    </message>
    <message>
        <source>Factory Calibration (For 12 hours)</source>
        <translation>공장 교정 (12시간)</translation>
    </message>
    <message>
        <source>Factory</source>
        <translation>공장 교정</translation>
    </message>
    <message>
        <source>TVOC</source>
        <translation>TVOC</translation>
    </message>
    <message>
        <source>TVOC offset</source>
        <translation>TVOC 오프셋</translation>
    </message>
    <message>
        <source>Unit</source>
        <translation>단위</translation>
    </message>
    <message>
        <source>ppm</source>
        <translation>ppm</translation>
    </message>
    <message>
        <source>ppb</source>
        <translation>ppb</translation>
    </message>
    <message>
        <source>Sensitivity</source>
        <translation>감도</translation>
    </message>
    <message>
        <source>Channel 1</source>
        <translation>채널 1</translation>
    </message>
    <message>
        <source>Channel 2</source>
        <translation>채널 2</translation>
    </message>
    <message>
        <source>Full Range Offset</source>
        <translation>전체 범위 오프셋</translation>
    </message>
    <message>
        <source>%</source>
        <translation>%</translation>
    </message>
    <message>
        <source>Please retry...</source>
        <translation>다시 시도하십시오...</translation>
    </message>
    <message>
        <source>Success...</source>
        <translation>성공...</translation>
    </message>
    <message>
        <source>Unplug the sensor and plug it in again.
Normal operation after 12 hours.</source>
        <translation>센서를 뽑았다가 다시 꽂으십시오.
12시간 후에 정상 동작합니다.</translation>
    </message>
    <message>
        <source>error! apply calibration settings...]</source>
        <translation>오류! 교정 설정을 적용하지 못했습니다...]</translation>
    </message>
    <message>
        <source>change the sensor type to the Mode %1...</source>
        <translation>센서 모드를 모드 %1(으)로 바꾸는 중...</translation>
    </message>
    <message>
        <source>error! apply the the sensor mode to mode %1...</source>
        <translation>오류! 센서 모드를 모드 %1(으)로 바꾸지 못했습니다...</translation>
    </message>
    <message>
        <source>change the sensor unit to %1...</source>
        <translation>센서 단위를 %1(으)로 바꾸는 중...</translation>
    </message>
    <message>
        <source>Do you want to calibrate for 12 hours?</source>
        <translation>12시간 동안 교정하시겠습니까?</translation>
    </message>
</context>
<context>
    <name>Tq21Calibrator</name>
    <message>
        <source>error! apply calibration settings...</source>
        <translation>오류! 교정 설정을 적용하지 못했습니다...</translation>
    </message>
    <message>
        <source>Form</source>
        <translation>폼</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>모델</translation>
    </message>
    <message>
        <source>Serial number</source>
        <translation>일련번호</translation>
    </message>
    <message>
        <source>TX/RX</source>
        <translation>TX/RX</translation>
    </message>
    <message>
        <source>REFRESH</source>
        <translation>새로 읽기</translation>
    </message>
    <message>
        <source>Unit</source>
        <translation>단위</translation>
    </message>
    <message>
        <source>Celsius</source>
        <translation>섭씨</translation>
    </message>
    <message>
        <source>Fahrenheit</source>
        <translation>화씨</translation>
    </message>
    <message>
        <source>error! apply calibration settings...]</source>
        <translation>오류! 교정 설정을 적용하지 못했습니다...]</translation>
    </message>
    <message>
        <source>Build date time</source>
        <translation>빌드 일시</translation>
    </message>
    <message>
        <source>Last calibration date time</source>
        <translation>마지막 교정 일시</translation>
    </message>
    <message>
        <source>Used hours</source>
        <translation>사용 시간</translation>
    </message>
    <message>
        <source> hours</source>
        <translation> 시간</translation>
    </message>
    <message>
        <source>CO2</source>
        <translation>CO2</translation>
    </message>
    <message>
        <source>CO2 offset</source>
        <translation>CO2 오프셋</translation>
    </message>
    <message>
        <source>CO2 Calibration</source>
        <translation>CO2 교정</translation>
    </message>
    <message>
        <source>Barometric Pressure</source>
        <translation>대기압</translation>
    </message>
    <message>
        <source>default value is 1013mbar at 0m alititude. minimum value is 843mbar(1524m). maximum value is 1050(-305m).</source>
        <translation>기본값은 고도 0m에서 1013mbar입니다. 최솟값은 843mbar(1524m), 최댓값은 1050mbar(-305m)입니다.</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;default value is 1013mbar at 0m alititude. minimum value is 843mbar(1524m). maximum value is 1050(-305m).&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;기본값은 고도 0m에서 1013mbar입니다. 최솟값은 843mbar(1524m), 최댓값은 1050mbar(-305m)입니다.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Digital Filter</source>
        <translation>디지털 필터</translation>
    </message>
    <message>
        <source>zero is a smart filter mode. For most applications, a filter setting of 32 is recommended.</source>
        <translation>0은 스마트 필터 모드입니다. 대부분의 용도에는 필터 값 32를 권장합니다.</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;&lt;span style=&quot; font-size:10pt;&quot;&gt;For most applications, a filter setting of 32 is recommended.&lt;/span&gt;&lt;/p&gt;&lt;p&gt;If the filter is set to zero, &lt;span style=&quot; font-size:10pt;&quot;&gt;a smart filter mode&lt;/span&gt;will be used in which the filter response is altered to suit the prevailing conditions. This is useful if there is a combination of steady state conditions, with some periods of rapidly changing concentrations.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;&lt;span style=&quot; font-size:10pt;&quot;&gt;대부분의 용도에는 필터 값 32를 권장합니다.&lt;/span&gt;&lt;/p&gt;&lt;p&gt;필터를 0으로 두면 &lt;span style=&quot; font-size:10pt;&quot;&gt;스마트 필터 모드&lt;/span&gt;가 쓰여, 필터 응답이 그때그때의 조건에 맞게 바뀝니다. 농도가 안정된 구간과 빠르게 변하는 구간이 섞여 있을 때 유용합니다.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>CO2 Version Info.</source>
        <translation>CO2 센서 버전 정보</translation>
    </message>
    <message>
        <source>Temperature</source>
        <translation>온도</translation>
    </message>
    <message>
        <source>Temperature offset</source>
        <translation>온도 오프셋</translation>
    </message>
    <message>
        <source>change the sensor unit to %1...</source>
        <translation>센서 단위를 %1(으)로 바꾸는 중...</translation>
    </message>
</context>
<context>
    <name>Tq22Calibrator</name>
    <message>
        <source>Form</source>
        <translation>폼</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>모델</translation>
    </message>
    <message>
        <source>Serial number</source>
        <translation>일련번호</translation>
    </message>
    <message>
        <source>TX/RX</source>
        <translation>TX/RX</translation>
    </message>
    <message>
        <source>REFRESH</source>
        <translation>새로 읽기</translation>
    </message>
    <message>
        <source>Unit</source>
        <translation>단위</translation>
    </message>
    <message>
        <source>Celsius</source>
        <translation>섭씨</translation>
    </message>
    <message>
        <source>Fahrenheit</source>
        <translation>화씨</translation>
    </message>
    <message>
        <source>error! apply calibration settings...]</source>
        <translation>오류! 교정 설정을 적용하지 못했습니다...]</translation>
    </message>
    <message>
        <source>Sensor mode</source>
        <translation>센서 모드</translation>
    </message>
    <message>
        <source>Channel 1</source>
        <translation>채널 1</translation>
    </message>
    <message>
        <source>Channel 2</source>
        <translation>채널 2</translation>
    </message>
    <message>
        <source>Full Range Offset</source>
        <translation>전체 범위 오프셋</translation>
    </message>
    <message>
        <source>Temperature</source>
        <translation>온도</translation>
    </message>
    <message>
        <source>Atmospheric pressure</source>
        <translation>대기압</translation>
    </message>
    <message>
        <source>O2</source>
        <translation>산소(O2)</translation>
    </message>
    <message>
        <source>change the sensor type to the Mode %1...</source>
        <translation>센서 종류를 모드 %1(으)로 바꾸는 중...</translation>
    </message>
    <message>
        <source>error! apply the the sensor mode to mode %1...</source>
        <translation>오류! 센서 모드를 모드 %1(으)로 바꾸지 못했습니다...</translation>
    </message>
</context>
<context>
    <name>SelectDevice</name>
    <message>
        <source>SelectDevice</source>
        <translation>장치 선택</translation>
    </message>
    <message>
        <source>TQ Devices</source>
        <translation>TQ 장치</translation>
    </message>
</context>
<context>
    <name>Tq24Calibrator</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>모델</translation>
    </message>
    <message>
        <source>Serial number</source>
        <translation>일련번호</translation>
    </message>
    <message>
        <source>Digital filter</source>
        <translation>디지털 필터</translation>
    </message>
    <message>
        <source>OFF</source>
        <translation>끔</translation>
    </message>
    <message>
        <source>ON</source>
        <translation>켬</translation>
    </message>
    <message>
        <source>Last calibration date time</source>
        <translation>마지막 교정 일시</translation>
    </message>
    <message>
        <source>&gt;</source>
        <translation>&gt;</translation>
    </message>
    <message>
        <source>Build date time</source>
        <translation>빌드 일시</translation>
    </message>
    <message>
        <source>Used hours</source>
        <translation>사용 시간</translation>
    </message>
    <message>
        <source> hours</source>
        <translation> 시간</translation>
    </message>
    <message>
        <source>TX/RX</source>
        <translation>TX/RX</translation>
    </message>
    <message>
        <source>REFRESH</source>
        <translation>새로 읽기</translation>
    </message>
    <message>
        <source>Gas</source>
        <translation>가스</translation>
    </message>
    <message>
        <source>ppm offset</source>
        <translation>ppm 오프셋</translation>
    </message>
    <message>
        <source>unit</source>
        <translation>단위</translation>
    </message>
    <message>
        <source>ppm</source>
        <translation>ppm</translation>
    </message>
    <message>
        <source>uV</source>
        <translation>uV</translation>
    </message>
    <message>
        <source>Temperature</source>
        <translation>온도</translation>
    </message>
    <message>
        <source>Temperature offset</source>
        <translation>온도 오프셋</translation>
    </message>
    <message>
        <source>°C</source>
        <translation>°C</translation>
    </message>
    <message>
        <source>°F</source>
        <translation>°F</translation>
    </message>
    <message>
        <source>Zero calibration</source>
        <translation>제로 교정</translation>
    </message>
    <message>
        <source> uV</source>
        <translation> uV</translation>
    </message>
    <message>
        <source>Span calibration</source>
        <translation>스팬 교정</translation>
    </message>
    <message>
        <source> ppm</source>
        <translation> ppm</translation>
    </message>
    <message>
        <source>Sensitivity</source>
        <translation>감도</translation>
    </message>
    <message>
        <source> ppm/uV</source>
        <translation> ppm/uV</translation>
    </message>
    <message>
        <source>@</source>
        <translation>@</translation>
    </message>
    <message>
        <source>Change parameters</source>
        <translation>교정 값 변경</translation>
    </message>
    <message>
        <source>Zero drift adjustment</source>
        <translation>제로 드리프트 보정</translation>
    </message>
    <message>
        <source>Adjust</source>
        <translation>보정</translation>
    </message>
    <message>
        <source>the Drift Adjustment is completed.</source>
        <translation>드리프트 보정을 마쳤습니다.</translation>
    </message>
    <message>
        <source>the Drift Adjustment is failed!</source>
        <translation>드리프트 보정에 실패했습니다!</translation>
    </message>
    <message>
        <source>Do you want to calibrate for Zero?</source>
        <translation>제로 교정을 하시겠습니까?</translation>
    </message>
    <message>
        <source>Do you want to Drift Adjustment?</source>
        <translation>드리프트 보정을 하시겠습니까?</translation>
    </message>
    <message>
        <source>error! apply calibration settings...]</source>
        <translation>오류! 교정 설정을 적용하지 못했습니다...]</translation>
    </message>
    <message>
        <source>change the sensor type to the Mode%1...</source>
        <translation>센서 필터를 모드%1(으)로 바꾸는 중...</translation>
    </message>
    <message>
        <source>error! apply the the sensor mode to mode%1...</source>
        <translation>오류! 센서 필터를 모드%1(으)로 바꾸지 못했습니다...</translation>
    </message>
    <message>
        <source>success! apply sensor output mode settings.</source>
        <translation>성공! 센서 필터 설정을 적용했습니다.</translation>
    </message>
    <message>
        <source>error! apply sensor output mode settings.</source>
        <translation>오류! 센서 필터 설정을 적용하지 못했습니다.</translation>
    </message>
    <message>
        <source>error! apply sensor output mode settings...</source>
        <translation>오류! 센서 필터 설정을 적용하지 못했습니다...</translation>
    </message>
</context>
<context>
    <name>CalibrationReport</name>
    <message>
        <source>Calibration report</source>
        <translation>교정 보고서</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>모델</translation>
    </message>
    <message>
        <source>Serial number</source>
        <translation>일련번호</translation>
    </message>
    <message>
        <source>Firmware</source>
        <translation>펌웨어</translation>
    </message>
    <message>
        <source>Period</source>
        <translation>기간</translation>
    </message>
    <message>
        <source>Technician</source>
        <translation>작업자</translation>
    </message>
    <message>
        <source>Report made</source>
        <translation>보고서 작성</translation>
    </message>
    <message>
        <source>Tool version</source>
        <translation>프로그램 버전</translation>
    </message>
    <message>
        <source>Settings: as found and as left</source>
        <translation>설정: 교정 전 값과 교정 후 값</translation>
    </message>
    <message>
        <source>No setting was written in this period.</source>
        <translation>이 기간에 변경된 설정이 없습니다.</translation>
    </message>
    <message>
        <source>Setting</source>
        <translation>설정</translation>
    </message>
    <message>
        <source>Command</source>
        <translation>명령</translation>
    </message>
    <message>
        <source>As found</source>
        <translation>교정 전</translation>
    </message>
    <message>
        <source>As left</source>
        <translation>교정 후</translation>
    </message>
    <message>
        <source>Writes</source>
        <translation>쓰기 횟수</translation>
    </message>
    <message>
        <source>not confirmed</source>
        <translation>확인되지 않음</translation>
    </message>
    <message>
        <source>Actions</source>
        <translation>동작</translation>
    </message>
    <message>
        <source>No action was run in this period.</source>
        <translation>이 기간에 실행된 동작이 없습니다.</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>시각</translation>
    </message>
    <message>
        <source>Action</source>
        <translation>동작</translation>
    </message>
    <message>
        <source>Outcome</source>
        <translation>결과</translation>
    </message>
    <message>
        <source>Values after</source>
        <translation>이후 값</translation>
    </message>
    <message>
        <source>Trend charts at the time of the report</source>
        <translation>보고서 작성 시점의 추이 차트</translation>
    </message>
    <message>
        <source>No device was open.</source>
        <translation>열린 장치가 없었습니다.</translation>
    </message>
    <message>
        <source>The PDF file could not be written: %1</source>
        <translation>PDF 파일을 쓸 수 없습니다: %1</translation>
    </message>
</context>
<context>
    <name>LiveRecorder</name>
    <message>
        <source>no device is open</source>
        <translation>열린 장치가 없습니다</translation>
    </message>
    <message numerus="yes">
        <source>Recording %1, %n samples</source>
        <translation>
            <numerusform>기록 중 %1, 샘플 %n개</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>RecordsDatabase</name>
    <message>
        <source>No calibration record yet: %1</source>
        <translation>아직 교정 기록이 없습니다: %1</translation>
    </message>
    <message>
        <source>The calibration record was written by a newer version of the tool.</source>
        <translation>교정 기록이 이 프로그램보다 새 버전으로 작성되었습니다.</translation>
    </message>
</context>
<context>
    <name>RecordsWindow</name>
    <message>
        <source>Calibration records</source>
        <translation>교정 기록</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>장치</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>종류</translation>
    </message>
    <message>
        <source>From</source>
        <translation>시작</translation>
    </message>
    <message>
        <source>To</source>
        <translation>끝</translation>
    </message>
    <message>
        <source>Export CSV…</source>
        <translation>CSV 내보내기…</translation>
    </message>
    <message>
        <source>Export report…</source>
        <translation>보고서 내보내기…</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>닫기</translation>
    </message>
    <message>
        <source>All kinds</source>
        <translation>모든 종류</translation>
    </message>
    <message>
        <source>Time (UTC)</source>
        <translation>시각 (UTC)</translation>
    </message>
    <message>
        <source>UTC offset</source>
        <translation>UTC 차이</translation>
    </message>
    <message>
        <source>Setting</source>
        <translation>설정</translation>
    </message>
    <message>
        <source>Command</source>
        <translation>명령</translation>
    </message>
    <message>
        <source>Before</source>
        <translation>이전 값</translation>
    </message>
    <message>
        <source>Written</source>
        <translation>쓴 값</translation>
    </message>
    <message>
        <source>Confirmed</source>
        <translation>확인된 값</translation>
    </message>
    <message>
        <source>Outcome</source>
        <translation>결과</translation>
    </message>
    <message>
        <source>Details</source>
        <translation>상세</translation>
    </message>
    <message>
        <source>Firmware</source>
        <translation>펌웨어</translation>
    </message>
    <message>
        <source>Tool version</source>
        <translation>프로그램 버전</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>모델</translation>
    </message>
    <message>
        <source>Serial number</source>
        <translation>일련번호</translation>
    </message>
    <message>
        <source>No device is shown.</source>
        <translation>표시된 장치가 없습니다.</translation>
    </message>
    <message>
        <source>Export CSV</source>
        <translation>CSV 내보내기</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV 파일 (*.csv)</translation>
    </message>
    <message>
        <source>Written: %1</source>
        <translation>저장됨: %1</translation>
    </message>
    <message>
        <source>Not written: %1</source>
        <translation>저장하지 못함: %1</translation>
    </message>
    <message>
        <source>Export report</source>
        <translation>보고서 내보내기</translation>
    </message>
    <message>
        <source>Technician name:</source>
        <translation>작업자 이름:</translation>
    </message>
    <message>
        <source>PDF files (*.pdf)</source>
        <translation>PDF 파일 (*.pdf)</translation>
    </message>
    <message>
        <source>Report written: %1 and .html</source>
        <translation>보고서 저장됨: %1 및 .html</translation>
    </message>
</context>
<context>
    <name>CalibrationDialog</name>
    <message>
        <source>Calibrate %1 %2</source>
        <translation>교정 %1 %2</translation>
    </message>
    <message>
        <source>field %1</source>
        <translation>필드 %1</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>% of reference</source>
        <translation>기준값의 %</translation>
    </message>
    <message>
        <source>none</source>
        <translation>없음</translation>
    </message>
    <message>
        <source>%p% toward stable</source>
        <translation>안정까지 %p%</translation>
    </message>
    <message>
        <source>This device has no channel to calibrate.</source>
        <translation>이 장치에는 교정할 채널이 없습니다.</translation>
    </message>
    <message>
        <source>A tolerance in % needs a reference other than zero: give it in %1.</source>
        <translation>% 허용 오차에는 0이 아닌 기준값이 필요합니다. %1 단위로 입력하십시오.</translation>
    </message>
    <message>
        <source>Enter a tolerance above zero.</source>
        <translation>0보다 큰 허용 오차를 입력하십시오.</translation>
    </message>
    <message>
        <source>The device is not connected.</source>
        <translation>장치가 연결되어 있지 않습니다.</translation>
    </message>
    <message>
        <source>Not stable within %1 s. Accept the unstable reading, or abort.</source>
        <translation>%1초 안에 안정되지 않았습니다. 불안정한 측정값을 수락하거나 중단하십시오.</translation>
    </message>
    <message>
        <source>the port was closed</source>
        <translation>포트가 닫혔습니다</translation>
    </message>
    <message>
        <source>The device is no longer connected.</source>
        <translation>장치가 더 이상 연결되어 있지 않습니다.</translation>
    </message>
    <message>
        <source>Save certificate</source>
        <translation>성적서 저장</translation>
    </message>
    <message>
        <source>PDF files (*.pdf)</source>
        <translation>PDF 파일 (*.pdf)</translation>
    </message>
    <message>
        <source>Certificate %1 written: %2</source>
        <translation>성적서 %1 저장됨: %2</translation>
    </message>
    <message>
        <source>Certificate not written: %1</source>
        <translation>성적서를 저장하지 못했습니다: %1</translation>
    </message>
    <message>
        <source>stable</source>
        <translation>안정</translation>
    </message>
    <message>
        <source>settling: %p%</source>
        <translation>안정화 중: %p%</translation>
    </message>
    <message>
        <source>slope %1 (under %2 %3/min), SD %4 (under %5 %3), %6 of %7 s</source>
        <translation>기울기 %1 (한계 %2 %3/분), 표준편차 %4 (한계 %5 %3), %7초 중 %6초</translation>
    </message>
    <message>
        <source>time-out in %1 s</source>
        <translation>제한 시간 %1초 남음</translation>
    </message>
    <message>
        <source>Start again</source>
        <translation>다시 시작</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>시작</translation>
    </message>
    <message>
        <source>Enter the reference and its gas, then press Start.</source>
        <translation>기준값과 가스 정보를 입력한 후 시작을 누르십시오.</translation>
    </message>
    <message>
        <source>Apply the reference gas to the sensor, then press &quot;Gas applied&quot;.</source>
        <translation>센서에 기준 가스를 주입한 후 &quot;가스 주입 완료&quot;를 누르십시오.</translation>
    </message>
    <message>
        <source>Waiting for a stable reading (as found)…</source>
        <translation>안정된 측정값을 기다리는 중 (조정 전)…</translation>
    </message>
    <message>
        <source>As found: reading taken.</source>
        <translation>조정 전: 측정값을 읽었습니다.</translation>
    </message>
    <message>
        <source>Adjusting the sensor…</source>
        <translation>센서를 조정하는 중…</translation>
    </message>
    <message>
        <source>Waiting for a stable reading after the adjustment (as left)…</source>
        <translation>조정 후 안정된 측정값을 기다리는 중 (조정 후)…</translation>
    </message>
    <message>
        <source>As left: reading taken.</source>
        <translation>조정 후: 측정값을 읽었습니다.</translation>
    </message>
    <message>
        <source>PASS</source>
        <translation>합격</translation>
    </message>
    <message>
        <source>FAIL: %1</source>
        <translation>불합격: %1</translation>
    </message>
    <message>
        <source>Refused, nothing written: %1</source>
        <translation>거부됨, 기록한 것 없음: %1</translation>
    </message>
    <message>
        <source>Aborted: nothing more is written.</source>
        <translation>중단됨: 더 이상 기록하지 않습니다.</translation>
    </message>
    <message>
        <source>The device was unplugged or closed (%1): nothing more is written.</source>
        <translation>장치가 분리되었거나 닫혔습니다 (%1): 더 이상 기록하지 않습니다.</translation>
    </message>
    <message>
        <source>Not stable in time: %1</source>
        <translation>시간 안에 안정되지 않음: %1</translation>
    </message>
    <message>
        <source>%1: %2 %3, error %4 %3 (%5)</source>
        <translation>%1: %2 %3, 오차 %4 %3 (%5)</translation>
    </message>
    <message>
        <source>not stable, accepted</source>
        <translation>불안정, 수락됨</translation>
    </message>
    <message>
        <source>As found</source>
        <translation>조정 전</translation>
    </message>
    <message>
        <source>As left</source>
        <translation>조정 후</translation>
    </message>
    <message>
        <source>Written: %1</source>
        <translation>기록: %1</translation>
    </message>
    <message>
        <source>Tolerance ±%1 %2, %3</source>
        <translation>허용 오차 ±%1 %2, %3</translation>
    </message>
    <message>
        <source>Calibrate</source>
        <translation>교정</translation>
    </message>
    <message>
        <source>Calibration point</source>
        <translation>교정 점</translation>
    </message>
    <message>
        <source>Channel</source>
        <translation>채널</translation>
    </message>
    <message>
        <source>Reference</source>
        <translation>기준값</translation>
    </message>
    <message>
        <source>Zero gas</source>
        <translation>제로 가스</translation>
    </message>
    <message>
        <source>Tolerance ±</source>
        <translation>허용 오차 ±</translation>
    </message>
    <message>
        <source>Gas lot or certificate</source>
        <translation>가스 로트 또는 인증서 번호</translation>
    </message>
    <message>
        <source>Gas expiry</source>
        <translation>가스 유효 기한</translation>
    </message>
    <message>
        <source>Gas uncertainty ±</source>
        <translation>가스 불확도 ±</translation>
    </message>
    <message>
        <source>Adjust always</source>
        <translation>항상 조정</translation>
    </message>
    <message>
        <source>Reading</source>
        <translation>측정값</translation>
    </message>
    <message>
        <source>Live value</source>
        <translation>실시간 값</translation>
    </message>
    <message>
        <source>Difference</source>
        <translation>차이</translation>
    </message>
    <message>
        <source>Stability</source>
        <translation>안정도</translation>
    </message>
    <message>
        <source>Step</source>
        <translation>단계</translation>
    </message>
    <message>
        <source>Gas applied</source>
        <translation>가스 주입 완료</translation>
    </message>
    <message>
        <source>Accept unstable reading</source>
        <translation>불안정한 측정값 수락</translation>
    </message>
    <message>
        <source>Abort</source>
        <translation>중단</translation>
    </message>
    <message>
        <source>Save certificate…</source>
        <translation>성적서 저장…</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>닫기</translation>
    </message>
</context>
<context>
    <name>StabilityIndicator</name>
    <message>
        <source>slope %1 (under %2 %3/min), SD %4 (under %5 %3), %6 samples, %7 s of the %8 s dwell</source>
        <translation>기울기 %1 (한계 %2 %3/분), 표준편차 %4 (한계 %5 %3), 샘플 %6개, 최소 대기 %8초 중 %7초</translation>
    </message>
    <message>
        <source>stable</source>
        <translation>안정</translation>
    </message>
    <message>
        <source>settling</source>
        <translation>안정화 중</translation>
    </message>
    <message>
        <source>%1%2 %3/min</source>
        <translation>%1%2 %3/분</translation>
    </message>
</context>
<context>
    <name>BenchWindow</name>
    <message>
        <source>Procedure</source>
        <translation>절차</translation>
    </message>
    <message>
        <source>Calibrate selected…</source>
        <translation>선택한 장치 교정…</translation>
    </message>
    <message>
        <source>Check selected…</source>
        <translation>선택한 장치 점검…</translation>
    </message>
    <message>
        <source>Write setting to selected…</source>
        <translation>선택한 장치에 설정 쓰기…</translation>
    </message>
    <message>
        <source>Select the devices to calibrate first.</source>
        <translation>먼저 교정할 장치를 선택하십시오.</translation>
    </message>
</context>
<context>
    <name>BenchCalibration</name>
    <message>
        <source>waiting for gas</source>
        <translation>가스 대기 중</translation>
    </message>
    <message>
        <source>as found</source>
        <translation>교정 전</translation>
    </message>
    <message>
        <source>as left</source>
        <translation>교정 후</translation>
    </message>
    <message>
        <source>adjusting</source>
        <translation>조정 중</translation>
    </message>
    <message>
        <source>PASS</source>
        <translation>합격</translation>
    </message>
    <message>
        <source>FAIL: %1</source>
        <translation>불합격: %1</translation>
    </message>
    <message>
        <source>refused: %1</source>
        <translation>거부됨: %1</translation>
    </message>
    <message>
        <source>aborted</source>
        <translation>중단됨</translation>
    </message>
    <message>
        <source>gone: incomplete</source>
        <translation>연결 끊김: 미완료</translation>
    </message>
</context>
<context>
    <name>BenchCalibrationDialog</name>
    <message>
        <source>Gas applied</source>
        <translation>가스 주입 완료</translation>
    </message>
    <message>
        <source>Abort</source>
        <translation>중단</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>시작</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>닫기</translation>
    </message>
</context>
<context>
    <name>BenchSettingWrite</name>
    <message>
        <source>no reply</source>
        <translation>응답 없음</translation>
    </message>
</context>
</TS>
