<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ru">
<context>
    <name>rununit1</name>
    <message>
        <location filename="../app/rununit1texts.cpp" line="+19"/>
        <source>Для того,  чтобы прочесть подробную интерпритацию руны - кликните сюда, после того, как кликните кнопку &quot;Гадание на рунах&quot;. Удачного вам гадания!</source>
        <translation>To read the full interpretation of a rune, click here after you have clicked the &quot;Cast the Runes&quot; button. Good luck with your reading!</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Для того, чтобы погадать, - мысленно сформруйте вопрос и клинкните эту кнопку. Удачного вам гадания, и пусть рунические божества вам помогут в благих делах! Будьте счастливы!!! ;-)</source>
        <translation>To divine, form a question in your mind and click this button. Good luck with your reading, and may the gods of the runes help you in all good deeds! Be happy!!! ;-)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Справка по программе ORMEX</source>
        <translation>Help on ORMEX</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Выход из программы тут, а вот выход из жизненной ситуации ищите сами или попросите совета у рун.</source>
        <translation>The way out of the program is here; the way out of a tight spot in life you will have to find yourself, or ask the runes for advice.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Справка по руне такой-то</source>
        <translation>About the rune</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Закрыть справку по руне</source>
        <translation>Close the interpretation</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Закрыть справку по руне.
Надеюсь, вы узнали много нового и интересного :-)</source>
        <translation>Close the interpretation.
I hope you have learned much that is new and interesting :-)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Закрыть справку по программе.
Надеюсь, вы узнали много нового и интересного :-)</source>
        <translation>Close the help.
I hope you have learned much that is new and interesting :-)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Вы еще не разу не кликали кнопку &quot;Гадание на рунах&quot;... </source>
        <translation>You have not clicked the &quot;Cast the Runes&quot; button yet... </translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Интерпритация руны</source>
        <translation>Rune interpretation</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>(С) </source>
        <translation>(C) </translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Сайт программы ORMEX: руны и их толкования, руническая магия, советы по гаданию и новые версии программы. Заходите в гости!</source>
        <translation>The ORMEX web site: runes and their interpretations, rune magic, advice on divination and new versions of the program. Come and visit!</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Гадание на Рунах</source>
        <translation>Cast the Runes</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Справка</source>
        <translation>Help</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Выход</source>
        <translation>Exit</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Левая руна</source>
        <translation>Left rune</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Средняя руна</source>
        <translation>Middle rune</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Правая руна</source>
        <translation>Right rune</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>перевёрнута</source>
        <translation>reversed</translation>
    </message>
</context>
</TS>
