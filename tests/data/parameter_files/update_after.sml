<?xml version="1.0" encoding="UTF-8"?>
<!-- a comment the update keeps -->
<HEADER_INFO>
  <Unknown>
	<keep>tabs	and  spaces</keep>
  </Unknown>
   <Alpha>
      <value>5</value>
   </Alpha>
  <Omega><z>9</z></Omega>
   <Beta>
      <name>b</name>
   </Beta>
</HEADER_INFO>
