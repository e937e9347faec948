<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ko_KR">
<context>
    <name>ChartView</name>
    <message>
        <source>N/A</source>
        <translation>값 없음</translation>
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
</TS>
