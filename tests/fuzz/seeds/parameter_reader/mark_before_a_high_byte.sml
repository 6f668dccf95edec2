<?xml version="1.-0" ?>
<HEADER_INFO>
   <RasterInfo>
      <CellType>one####BIGÆÄ‹—–ee</CellType>AName>ÿ   </RasterInfo>P</HEADER_INFO>
